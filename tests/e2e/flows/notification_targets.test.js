// The agent's SNMPv2c/SNMPv3 notification targets as an administrator keeps
// them: the page with the engine ID a receiver needs, a target added (its
// community never shown back) and removed, targets.ini following; and the
// engine line the About window shows a signed-in user.
const { test, expect, openFromMenu } = require('../fixtures');
const fs = require('fs');
const path = require('path');

const PROGRAM = process.env.KOR_PROGRAM_DIR;
const AGENT_DIR = PROGRAM ? fs.readFileSync(path.join(PROGRAM, 'KORAgent.cfg'), 'utf8').split('\n')[1] : '';
const ENGINE_ID = /^0x8000113d05[0-9a-f]{16}$/;

test('an administrator adds and removes a notification target', async ({ admin, shot }) => {
  await admin.goto('/KOR/notification_targets.html');
  await expect(admin.locator('#engine_id')).toHaveText(ENGINE_ID);
  await admin.getByLabel('Target (HOST:PORT)').fill('127.0.0.1:16299');
  await admin.getByLabel('Kind').selectOption('v2c-inform');
  await admin.getByLabel('Community or profile').fill('e2e-community');
  await admin.getByRole('button', { name: 'Add Target' }).click();
  const removeButton = admin.locator('input[name=remove][value="127.0.0.1:16299"]');
  const row = admin.locator('tr', { has: removeButton });
  await expect(row).toContainText('v2c-inform');
  await expect(admin.locator('body')).not.toContainText('e2e-community');
  expect(fs.readFileSync(path.join(AGENT_DIR, 'targets.ini'), 'utf8')).toContain('127.0.0.1 16299 v2c-inform e2e-community');
  expect(fs.statSync(path.join(AGENT_DIR, 'targets.ini')).mode & 0o777).toBe(0o600);
  await admin.setViewportSize({ width: 1280, height: 800 });
  await shot(admin, 'notification-targets');
  await admin.setViewportSize({ width: 390, height: 844 });
  await shot(admin, 'notification-targets-narrow');

  await row.getByRole('button', { name: 'Remove' }).click();
  await expect(admin.locator('#notice')).toContainText('removed the notification target 127.0.0.1:16299');
  await expect(removeButton).toHaveCount(0);
  expect(fs.readFileSync(path.join(AGENT_DIR, 'targets.ini'), 'utf8')).not.toContain('16299');
});

test('the About window shows the agent\'s SNMP engine', async ({ admin, elements, shot }) => {
  const about = await openFromMenu(admin, elements, 'About');
  await expect(about.locator('#orla-engine code')).toHaveText(ENGINE_ID);
  await expect(about.locator('#orla-engine')).toContainText(/engine boots \d+/);
  await shot(about, 'about-engine');
});
