// The users page as an administrator keeps it: a user added as an operator
// (the level shown, the users file following), the refusals on the error
// page, and the new operator signing in and changing their own password.
const { test, expect, login } = require('../fixtures');
const fs = require('fs');
const path = require('path');

const PROGRAM = process.env.KOR_PROGRAM_DIR;
const USERS = PROGRAM ? path.join(fs.readFileSync(path.join(PROGRAM, 'KORAgent.cfg'), 'utf8').split('\n')[1].trim()
  + 'ZEPD', 'users') : '';

test('an administrator adds an operator, who signs in', async ({ admin, browser, shot }) => {
  await admin.goto('/KOR/users.html');
  const row = (name) => admin.locator(`#users tr[data-user="${name}"]`);
  await expect(row('administrator').locator('.user-level')).toHaveText('administrator');
  await expect(row('administrator')).toContainText('(you)');

  // The last administrator stays, in words, on the error page.
  await row('administrator').getByRole('button', { name: 'Remove administrator' }).click();
  await expect(admin.locator('body')).toContainText(
    'Administrator is the last administrator: make another user administrator first.');
  await admin.goto('/KOR/users.html');

  await admin.getByLabel('User name').fill('e2e-ops');
  await admin.getByLabel('Password (8 characters or more)').fill('e2e-ops-password');
  await admin.locator('#add_form').getByLabel('Level').selectOption('operator');
  await admin.getByRole('button', { name: 'Add User' }).click();
  await expect(admin.locator('#notice')).toHaveText('Added the user e2e-ops.');
  await expect(row('e2e-ops').locator('.user-level')).toHaveText('operator');
  const line = fs.readFileSync(USERS, 'utf8').split('\n').find((l) => l.startsWith('e2e-ops:'));
  expect(line).toMatch(/^e2e-ops:\$y\$[^:]+:KORAccess=0x00000004$/);
  await expect(admin.locator('body')).not.toContainText('$y$');
  await admin.setViewportSize({ width: 1280, height: 800 });
  await shot(admin, 'users');
  await admin.setViewportSize({ width: 390, height: 844 });
  await shot(admin, 'users-narrow');

  // The operator signs in, reads the console, may not manage users, and
  // changes their own password from the top bar's link.
  const context = await browser.newContext();
  const ops = await context.newPage();
  await login(ops, 'e2e-ops', 'e2e-ops-password');
  await expect(ops.locator('#signed-in-user')).toHaveText('e2e-ops');
  await ops.goto('/KOR/users.html');
  await expect(ops.locator('body')).toContainText(
    'You must log in (or log in again) as administrator to perform this operation.');
  await ops.goto('/KOR/');
  await ops.locator('#password-link').click();
  await expect(ops.locator('#password_user')).toHaveText('e2e-ops');
  await shot(ops, 'password');
  await ops.getByLabel('Current password').fill('e2e-ops-password');
  await ops.getByLabel('New password', { exact: true }).fill('e2e-ops-new-password');
  await ops.getByLabel('New password again').fill('e2e-ops-new-password');
  await ops.getByRole('button', { name: 'Change Password' }).click();
  await expect(ops.locator('#notice')).toHaveText('Your password was changed. Sign in again with the new one.');
  await login(ops, 'e2e-ops', 'e2e-ops-new-password');
  await expect(ops.locator('#signed-in-user')).toHaveText('e2e-ops');

  // Ending the operator's sessions signs them out at once; then the user goes.
  await admin.goto('/KOR/users.html');
  await row('e2e-ops').getByRole('button', { name: 'End the sessions of e2e-ops' }).click();
  // (The session the password change ended may still be counted: it goes
  // from the table at its next use.)
  await expect(admin.locator('#notice')).toHaveText(/^Ended [12] sessions? of e2e-ops\.$/);
  const after = await ops.request.get('/KOR/status.json', { maxRedirects: 0 });
  expect([302, 303, 401]).toContain(after.status());
  await row('e2e-ops').getByRole('button', { name: 'Remove e2e-ops' }).click();
  await expect(admin.locator('#notice')).toHaveText('Removed the user e2e-ops.');
  await expect(row('e2e-ops')).toHaveCount(0);
  await context.close();
});
