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

// The pages stop a mistake before it is sent: Rename with nothing picked,
// an address typed but not added when Change Interval is pressed, a
// profile removed without a question.
test('the dialogs catch what is missing, keep a typed address and ask before a profile goes',
  async ({ admin, elements, shot, dialogs }) => {
    const rename = await openFromMenu(admin, elements, 'Rename…');
    await rename.getByRole('button', { name: 'Rename' }).click();
    await expect(rename.getByRole('alert')).toHaveText('Select the tape controller to rename.');
    await rename.locator('select[name=element_name]').selectOption('tc01');
    await rename.getByRole('button', { name: 'Rename' }).click();
    await expect(rename.getByRole('alert')).toHaveText('Type the new name.');
    await expect(rename).toHaveTitle('Rename Tape Controller');
    await shot(rename, 'dialog-rename-nothing-typed');
    await rename.close();

    const config = await openFromMenu(admin, elements, 'Agent configuration…');
    await expect(config).toHaveTitle('Agent Configuration');
    await config.locator('input[name=new_address]').fill('127.0.0.42');
    await config.getByRole('button', { name: 'Change Interval' }).click();
    await expect(config.getByRole('status').first()).toContainText('The agent now polls every');
    await expect(config.locator('input[name=new_address]')).toHaveValue('127.0.0.42');
    await expect(config.locator('#typed-address-note')).toHaveText(/127\.0\.0\.42 is not added yet/);
    await expect(config.locator('select[name=client_address] option', { hasText: '127.0.0.42' })).toHaveCount(0);
    await shot(config, 'dialog-config-typed-kept');
    await config.close();

    await admin.goto('/KOR/snmpv3_profiles.html');
    const form = admin.locator('#profile_form');
    await expect(form.locator('select[name=level]')).toHaveValue('authPriv');
    await form.locator('input[name=name]').fill('askfirst');
    await form.locator('input[name=user]').fill('askfirst');
    await form.locator('select[name=level]').selectOption('noAuthNoPriv');
    await form.locator('select[name=auth]').selectOption('');
    await form.locator('select[name=priv]').selectOption('');
    await form.getByRole('button', { name: 'Add Profile' }).click();
    const remove = admin.getByRole('button', { name: 'Remove askfirst' });
    await remove.click();
    const ask = admin.getByRole('dialog');
    await expect(ask).toContainText('Remove the profile askfirst?');
    await ask.getByRole('button', { name: 'Cancel' }).click();
    await expect(remove).toBeVisible();
    await remove.click();
    await admin.getByRole('dialog').getByRole('button', { name: 'Remove askfirst' }).click();
    await expect(admin.locator('#notice')).toContainText('SNMPv3 profile askfirst removed');
    expect(dialogs).toEqual([]);
  });
