// The dialogs as an administrator uses them, against simulated tape
// controllers of their own: adding one by address, adding one by host name
// that does not send its traps here (the question, "Yes", the device's trap
// registration table read back with snmpget), a device that refuses the
// change, renaming and removing, the agent's trap destinations and polling
// interval with the files they change; and a user without the administrator
// right, made with korusers, refused on every POST.
const { test, expect, login, closeWith, openFromMenu, rowOf } = require('../fixtures');
const { execFileSync } = require('child_process');
const fs = require('fs');
const path = require('path');

const ROOT = path.resolve(__dirname, '..', '..', '..');
const SNMP_PORT = process.env.KORAGENT_SNMP_PORT;
const TRAP_LISTEN_PORT = (process.env.KORAGENT_TRAP_LISTEN || '').split(':').pop();
const PROGRAM = process.env.KOR_PROGRAM_DIR;
const AGENT_DIR = PROGRAM ? fs.readFileSync(path.join(PROGRAM, 'KORAgent.cfg'), 'utf8').split('\n')[1] : '';
// A simulator of this file's own, beside the shared one: tc01's recording at
// 127.0.0.1 (so the host name localhost reaches it), tc02's and tc03's at
// addresses no other test manages.
const SIM_RUN = process.env.KOR_SIM_RUN_DIR ? path.join(path.dirname(process.env.KOR_SIM_RUN_DIR), 'sim-dialogs') : '';
const BY_NAME = '127.0.0.1';
const SENDS_HERE = '127.0.1.232';
const READ_ONLY = '127.0.1.233';
const OPERATOR_PASSWORD = 'operator-password-e2e';

function simctl(args) {
  return execFileSync(path.join(ROOT, 'simulator', 'simctl'), ['--run-dir', SIM_RUN, ...args], { encoding: 'utf8' });
}
// A file of the agent directory; "" while it does not exist.
function agentFile(name) {
  const file = path.join(AGENT_DIR, name);
  return fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : '';
}
// The device's trapRegRowState of the agent's row (3 is active), read with
// snmpget; "none" when the row does not exist.
function agentRowState(address) {
  try {
    return execFileSync('snmpget', ['-v1', '-c', 'public', '-Oqv', '-t', '2', '-r', '1', `${address}:${SNMP_PORT}`,
                                    `1.3.6.1.3.94.2.3.1.4.127.0.0.1.${TRAP_LISTEN_PORT}`],
                        { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] }).trim();
  } catch (e) {
    return 'none';
  }
}

test.beforeAll(() => {
  execFileSync(path.join(ROOT, 'simulator', 'start.sh'),
               ['--run-dir', SIM_RUN, '--port', SNMP_PORT, '--only', 'tc01,tc02,tc03', '--base', '127.0.1.231',
                '--at', `tc01=${BY_NAME}`], { stdio: 'ignore' });
  // tc02's copy already sends its traps to the agent; tc03's refuses changes.
  simctl(['trapreg', 'tc02', 'add', `127.0.0.1:${TRAP_LISTEN_PORT}`]);
  simctl(['trapreg', 'tc03', 'readonly']);
});

test.afterAll(() => {
  execFileSync(path.join(ROOT, 'simulator', 'stop.sh'), ['--run-dir', SIM_RUN], { stdio: 'ignore' });
});

// Fills the add dialog's form and presses Add.
async function addElement(add, address, name) {
  await add.locator('input[name=element_address]').fill(address);
  await add.locator('input[name=element_name]').fill(name);
  await add.getByRole('button', { name: 'Add' }).click();
}

test('an administrator adds, reconfigures, renames and removes tape controllers from the dialogs',
  async ({ admin, elements, shot, dialogs }) => {
    const add = await openFromMenu(admin, elements, 'Add…');
    await expect(add).toHaveTitle('Add Tape Controller');
    await expect(add.locator('input[name=element_address]')).toBeFocused();

    // By address, a device that already sends its traps here: the empty form
    // again, and the list behind it shows the new row within seconds (the
    // dialog tells the console; no reload).
    await addElement(add, SENDS_HERE, 'dlgA');
    await expect(add).toHaveTitle('Add Tape Controller');
    await expect(add.locator('input[name=element_name]')).toHaveValue('');
    await expect(rowOf(elements, 'dlgA')).toHaveCount(1, { timeout: 5_000 });
    expect(agentFile('KORAgent.db')).toContain(`dlgA|${SENDS_HERE}\n`);

    // By host name, a device that does not send its traps here: the question
    // names it; "Yes" writes the agent's row into its table.
    expect(agentRowState(BY_NAME)).toBe('none');
    await addElement(add, 'localhost', 'dlgB');
    await expect(add).toHaveTitle('Reconfigure Tape Controller?');
    await expect(add.locator('div.head2')).toHaveText('dlgB');
    await expect(add.getByRole('button', { name: 'Yes' })).toBeFocused();
    await shot(add, 'dialog-trap-target');
    await add.getByRole('button', { name: 'Yes' }).click();
    await expect(add).toHaveTitle('Add Tape Controller');
    expect(agentRowState(BY_NAME)).toBe('3');
    expect(agentFile('KORAgent.db')).toContain(`dlgB|${BY_NAME}\n`);  // stored dotted
    await expect(rowOf(elements, 'dlgB')).toHaveCount(1);

    // A device whose table is read-only: "Yes" fails visibly.
    await addElement(add, READ_ONLY, 'dlgRO');
    await expect(add.locator('div.head2')).toHaveText('dlgRO');
    await add.getByRole('button', { name: 'Yes' }).click();
    await expect(add).toHaveTitle('Quillane Command Console');
    await expect(add.locator('body')).toContainText('An SNMP Set error has occurred.');
    expect(agentRowState(READ_ONLY)).toBe('none');
    await shot(add, 'dialog-trap-target-refused');
    await closeWith(add, add.getByRole('button', { name: 'OK' }));

    // Rename dlgB to dlgC.
    const rename = await openFromMenu(admin, elements, 'Rename…');
    // No controller is chosen for the administrator.
    await expect(rename.locator('select[name=element_name] option:checked')).toHaveCount(0);
    await shot(rename, 'dialog-rename-opened');
    await rename.locator('select[name=element_name]').selectOption('dlgB');
    await rename.locator('input[name=new_name]').fill('dlgC');
    await shot(rename, 'dialog-rename');
    await rename.getByRole('button', { name: 'Rename' }).click();
    await expect(rename.locator('body')).toContainText('The tape controller has been renamed.');
    await expect(rowOf(elements, 'dlgC')).toHaveCount(1, { timeout: 5_000 });
    await expect(rowOf(elements, 'dlgB')).toHaveCount(0);
    expect(agentFile('KORAgent.db')).toContain(`dlgC|${BY_NAME}\n`);
    await closeWith(rename, rename.getByRole('button', { name: 'OK' }));

    // Remove the three again, one after the other.
    for (const name of ['dlgA', 'dlgC', 'dlgRO']) {
      const remove = await openFromMenu(admin, elements, 'Remove…');
      await remove.locator('select[name=element_name]').selectOption(name);
      if (name === 'dlgA') await shot(remove, 'dialog-remove');
      await remove.getByRole('button', { name: 'Remove' }).click();
      await remove.getByRole('dialog').getByRole('button', { name: `Remove ${name}` }).click();
      await expect(remove.locator('body')).toContainText('The tape controller has been removed.');
      await expect(rowOf(elements, name)).toHaveCount(0, { timeout: 5_000 });
      expect(agentFile('KORAgent.db')).not.toContain(`${name}|`);
      await closeWith(remove, remove.getByRole('button', { name: 'OK' }));
    }
    expect(dialogs).toEqual([]);
  });

test('the configuration dialog changes the trap destinations and the polling interval in their files',
  async ({ admin, elements, shot }) => {
    const config = await openFromMenu(admin, elements, 'Agent configuration…');
    await expect(config).toHaveTitle('Agent Configuration');
    const interval = config.locator('select[name=polling_interval]');
    await expect(interval).toHaveValue(String(Number(agentFile('storage.ini')) / 60));

    await config.locator('input[name=new_address]').fill('localhost');
    await config.getByRole('button', { name: 'Add Address' }).click();
    await expect(config.locator('select[name=client_address] option', { hasText: 'localhost' })).toHaveCount(1);
    expect(agentFile('client.ini').split('\n')).toContain('localhost');

    // The same host in dotted form is a duplicate.
    await config.locator('input[name=new_address]').fill('127.0.0.1');
    await config.getByRole('button', { name: 'Add Address' }).click();
    await expect(config.locator('body')).toContainText('The specified host is already in the list of clients.');
    await config.getByRole('button', { name: 'OK' }).click();
    await expect(config).toHaveTitle('Agent Configuration');

    await config.locator('select[name=client_address]').selectOption('localhost');
    await config.getByRole('button', { name: 'Remove Address' }).click();
    await expect(config.locator('select[name=client_address] option', { hasText: 'localhost' })).toHaveCount(0);
    expect(agentFile('client.ini').split('\n')).not.toContain('localhost');

    const before = agentFile('storage.ini');
    await config.locator('select[name=polling_interval]').selectOption('5');
    await shot(config, 'dialog-agent-config');
    await config.getByRole('button', { name: 'Change Interval' }).click();
    await expect(config.locator('select[name=polling_interval]')).toHaveValue('5');
    expect(agentFile('storage.ini')).toBe('300\n');
    // Back to what it was, for the other tests.
    await config.locator('select[name=polling_interval]').selectOption(String(Number(before) / 60));
    await config.getByRole('button', { name: 'Change Interval' }).click();
    await expect(config.locator('select[name=polling_interval]')).toHaveValue(String(Number(before) / 60));
    expect(agentFile('storage.ini')).toBe(before);
    await closeWith(config, config.getByRole('button', { name: 'Close' }));
  });

test('a user without the administrator right is refused on every POST of every dialog',
  async ({ browser, baseURL, shot }) => {
    const korusers = path.join(PROGRAM, 'korusers');
    const input = `${OPERATOR_PASSWORD}\n`;
    try {
      execFileSync(korusers, ['add', 'operator', 'KORAccess=1'], { input, stdio: ['pipe', 'ignore', 'ignore'] });
    } catch (e) {
      execFileSync(korusers, ['password', 'operator'], { input, stdio: ['pipe', 'ignore', 'ignore'] });
      execFileSync(korusers, ['rights', 'operator', 'KORAccess=1'], { stdio: 'ignore' });
    }
    const files = ['KORAgent.db', 'client.ini', 'storage.ini'].map(agentFile);

    const context = await browser.newContext();
    const page = await context.newPage();
    await login(page, 'operator', OPERATOR_PASSWORD);
    const refusal = 'You must log in (or log in again) as administrator to perform this operation.';

    // As a person would: the add form, opened by its address, filled and sent.
    await page.goto('/KOR/add_element.html');
    await page.locator('input[name=element_address]').fill(SENDS_HERE);
    await page.locator('input[name=element_name]').fill('dlgX');
    await page.getByRole('button', { name: 'Add' }).click();
    await expect(page.locator('body')).toContainText(refusal);
    await expect(page.getByRole('button', { name: 'OK' })).toHaveAttribute('onclick', 'ResetParent();window.close();');
    await shot(page, 'dialog-refused');

    // Every other POST, each button of each dialog.
    const posts = [
      ['set_trap_target.html', { element_name: 'tc01', yes: 'Yes' }],
      ['set_trap_target.html', { element_name: 'tc01', no: 'No' }],
      ['delete_element.html', { element_name: 'tc01', ok: 'Remove' }],
      ['rename_element.html', { element_name: 'tc01', new_name: 'tc09' }],
      ['agent_config.html', { client_address: 'localhost', remove: 'Remove Address' }],
      ['agent_config.html', { new_address: 'localhost', add: 'Add Address' }],
      ['agent_config.html', { polling_interval: '7', change: 'Change Interval' }],
      ['notification_targets.html', { target: '127.0.0.1:16298', kind: 'v2c-trap', credential: 'c', add: 'Add Target' }],
      ['notification_targets.html', { remove: '127.0.0.1:16298' }],
      ['snmpv3_profiles.html', { save: 'Add Profile', name: 'op', user: 'op', level: 'noAuthNoPriv' }],
      ['snmpv3_profiles.html', { assign: 'Assign', assign_profile: 'op', assign_target: 'default' }],
      ['snmpv3_profiles.html', { v3_only: 'on' }],
      ['snmpv3.json', { v3_only: 'on' }],
      ['users.html', { add: 'Add User', name: 'dlgU', password: 'a-long-password', level: 'administrator' }],
      ['users.html', { set_level: 'Set level', user: 'operator', level: 'administrator' }],
      ['users.html', { remove: 'administrator' }],
    ];
    for (const [url, form] of posts) {
      const answer = await page.request.post('/KOR/' + url, { form, headers: { Origin: baseURL } });
      expect(answer.status(), url).toBe(200);
      expect(await answer.text(), url + ' ' + JSON.stringify(form)).toContain(refusal);
    }
    expect(['KORAgent.db', 'client.ini', 'storage.ini'].map(agentFile)).toEqual(files);
    // Reading the notification targets needs the right too (communities go where they list).
    const targets = await page.request.get('/KOR/notification_targets.html');
    expect(await targets.text()).toContain(refusal);
    expect(agentFile('targets.ini')).not.toContain('16298');
    // So does reading the SNMPv3 profiles; the file stays as it was.
    expect(await (await page.request.get('/KOR/snmpv3_profiles.html')).text()).toContain(refusal);
    expect(agentFile('snmpv3.conf')).not.toMatch(/v3-only on|name=op/);
    await context.close();
  });
