// Dialogs that forgive mistakes, as an administrator meets them: Enter in the
// agent configuration's address field adds the address (not the form's first
// button, "Remove Address"); what was typed comes back after an error page's
// OK; Help still opens its page once the main window is closed.
const { test, expect, closeWith, openFromMenu } = require('../fixtures');

test('Enter adds the typed address, typed values survive an error, Help works without the main window',
  async ({ admin, elements, shot }) => {
    const config = await openFromMenu(admin, elements, 'Agent configuration…');
    const destinations = config.locator('select[name=client_address] option', { hasText: 'localhost' });
    await config.locator('input[name=new_address]').fill('localhost');
    await config.locator('input[name=new_address]').press('Enter');
    await expect(config.getByRole('status')).toHaveText('localhost now receives the traps of this agent.');
    await expect(destinations).toHaveCount(1);
    await shot(config, 'dialog-config-added');
    await config.locator('select[name=client_address]').selectOption('localhost');
    await config.getByRole('button', { name: 'Remove Address' }).click();
    await expect(config.getByRole('status')).toHaveText('localhost no longer receives the traps of this agent.');
    await expect(destinations).toHaveCount(0);
    await config.close();

    // An error page's OK brings back the form with what was typed.
    const add = await openFromMenu(admin, elements, 'Add…');
    await add.locator('input[name=element_address]').fill('127.0.1.250');
    await add.locator('input[name=element_name]').fill('a b');
    await add.locator('input[name=element_name]').press('Enter');
    await expect(add.locator('body')).toContainText('The space, pipe, plus, semicolon, and apostrophe characters');
    await add.getByRole('button', { name: 'OK' }).click();
    await expect(add).toHaveTitle('Add Tape Controller');
    await expect(add.locator('input[name=element_address]')).toHaveValue('127.0.1.250');
    await expect(add.locator('input[name=element_name]')).toHaveValue('a b');
    await shot(add, 'dialog-add-restored');

    // The list's window is gone: Help opens its page from the dialog itself.
    await admin.close();
    const [help] = await Promise.all([add.waitForEvent('popup'), add.getByRole('button', { name: 'Help' }).click()]);
    await expect(help).toHaveTitle('Help: Adding a tape controller');
    await closeWith(add, add.getByRole('button', { name: 'Close' }));
  });
