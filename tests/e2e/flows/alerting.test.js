// The agent configuration's Alertmanagers section: alerting.conf written
// into the agent directory shows up by itself (URL and token path, never the
// token; the bad line with its number), readable at a desktop and a phone
// width; removing the file takes the section away again, so the other
// flows see the page as before.
const { test, expect, openFromMenu } = require('../fixtures');
const fs = require('fs');
const http = require('http');
const path = require('path');

const PROGRAM = process.env.KOR_PROGRAM_DIR;
const AGENT_DIR = PROGRAM ? fs.readFileSync(path.join(PROGRAM, 'KORAgent.cfg'), 'utf8').split('\n')[1] : '';
const CONF = path.join(AGENT_DIR, 'alerting.conf');

test('the agent configuration lists the Alertmanagers of alerting.conf without secrets',
  async ({ admin, elements, shot }) => {
    test.setTimeout(60_000);
    // A stand-in that takes every push, so the agent logs no failure.
    const am = http.createServer((request, response) => { request.resume(); response.end('{}'); });
    await new Promise((resolve) => am.listen(0, '127.0.0.1', resolve));
    const url = `http://127.0.0.1:${am.address().port}`;
    fs.writeFileSync(path.join(AGENT_DIR, 'am-token'), 'e2e-secret-token\n', { mode: 0o600 });
    fs.writeFileSync(CONF, `alertmanager ${url}/\nbearer-token-file ` + path.join(AGENT_DIR, 'am-token') +
                     `\nalertmanager ${url}/second\nreceiver mail\n`);
    try {
      const config = await openFromMenu(admin, elements, 'Agent configuration…');
      await expect(async () => {
        await config.reload();
        await expect(config.locator('#alertmanagers li')).toHaveCount(2, { timeout: 1000 });
      }).toPass({ timeout: 20_000 });
      await expect(config.locator('#alertmanagers li').first()).toHaveText(new RegExp(`^${url} \\(bearer token from .*am-token\\)$`));
      await expect(config.locator('#alerting_errors li')).toHaveText('line 4: unknown setting "receiver"');
      expect(await config.content()).not.toContain('e2e-secret-token');
      await config.locator('#alerting').scrollIntoViewIfNeeded();
      await shot(config, 'alerting-config-wide');
      await config.setViewportSize({ width: 390, height: 844 });
      expect(await config.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth + 1)).toBe(true);
      await config.locator('#alerting').scrollIntoViewIfNeeded();
      await shot(config, 'alerting-config-narrow');
      fs.unlinkSync(CONF);
      await expect(async () => {
        await config.reload();
        await expect(config.locator('#alerting')).toHaveCount(0, { timeout: 1000 });
      }).toPass({ timeout: 20_000 });
      await config.close();
    } finally {
      if (fs.existsSync(CONF)) fs.unlinkSync(CONF);
      am.close();
    }
  });
