// Browser tests of the agent's pages: Debian's chromium driven by Playwright.
// run.sh starts the agent and the simulated devices and sets KOR_BASE_URL;
// see README.md in this folder.
const { defineConfig } = require('@playwright/test');
const path = require('path');

const results = process.env.KOR_E2E_RESULTS || path.join(__dirname, 'test-results');

module.exports = defineConfig({
  testDir: path.join(__dirname, 'flows'),
  outputDir: path.join(results, 'output'),
  // The look's committed baseline images (flows/look.test.js).
  snapshotPathTemplate: path.join(__dirname, 'baselines', '{arg}{ext}'),
  workers: 1,
  fullyParallel: false,
  retries: 0,
  timeout: 60_000,
  expect: { timeout: 15_000, toHaveScreenshot: { animations: 'disabled', caret: 'hide' } },
  reporter: [
    ['list'],
    ['json', { outputFile: path.join(results, 'results.json') }],
  ],
  use: {
    baseURL: process.env.KOR_BASE_URL,
    ignoreHTTPSErrors: true,
    viewport: { width: 1280, height: 800 },
    screenshot: 'only-on-failure',
    trace: 'retain-on-failure',
    browserName: 'chromium',
    launchOptions: {
      executablePath: '/usr/bin/chromium',
      // As root chromium needs --no-sandbox; the rest keeps it from reaching
      // out to the (closed) network on its own.
      args: [
        '--no-sandbox',
        '--disable-gpu',
        '--disable-quic',
        '--no-first-run',
        '--disable-background-networking',
        '--disable-component-update',
        '--disable-sync',
      ],
    },
  },
});
