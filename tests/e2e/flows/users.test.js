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
  // The console offers the operator no change (flows/offer.test.js goes
  // through every page of it): no Actions menu.
  await expect(ops.frameLocator('iframe#elements').locator('tr', { hasText: 'tc01' }).first()).toBeVisible();
  await expect(ops.frameLocator('iframe#elements').locator('a.menu-button')).toHaveCount(0);
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

  // A token for the operator's scripts: its secret shown once, its calls
  // made with the operator's level, and revoked from the same list.
  await admin.goto('/KOR/users.html');
  await admin.locator('#token_form').getByLabel('User').selectOption('e2e-ops');
  await admin.getByLabel('Token name').fill('e2e-script');
  await admin.getByLabel('Expires after (days; empty: never)').fill('30');
  await admin.getByRole('button', { name: 'Make Token' }).click();
  await expect(admin.locator('#notice')).toHaveText(
    'Made the token e2e-script of e2e-ops. Copy its secret now: it is not shown again.');
  const secret = await admin.locator('#token_secret').inputValue();
  expect(secret).toMatch(/^kor_[0-9a-f]+_[0-9a-f]+$/);
  const token = admin.locator('#tokens tr', { hasText: 'e2e-script' });
  await expect(token.locator('.token-user')).toHaveText('e2e-ops');
  await admin.setViewportSize({ width: 1280, height: 800 });
  await shot(admin, 'users-token', { fullPage: true });
  await admin.setViewportSize({ width: 390, height: 844 });
  await shot(admin, 'users-token-narrow', { fullPage: true });
  await admin.goto('/KOR/users.html');
  await expect(admin.locator('body')).not.toContainText(secret);
  const bearer = { headers: { Authorization: `Bearer ${secret}` } };
  const scripted = await browser.newContext();
  expect((await scripted.request.get('/KOR/api/v1/elements', bearer)).status()).toBe(200);
  const refused = await scripted.request.patch('/KOR/api/v1/config', { ...bearer, data: { pollingInterval: 60 } });
  expect(refused.status()).toBe(403);
  await token.getByRole('button', { name: 'Revoke the token e2e-script of e2e-ops' }).click();
  await expect(admin.locator('#notice')).toHaveText('Revoked the token e2e-script of e2e-ops.');
  expect((await scripted.request.get('/KOR/api/v1/elements', bearer)).status()).toBe(401);
  await scripted.close();

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
