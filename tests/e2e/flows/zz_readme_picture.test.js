// The README's picture of the element list, taken from what the demo
// manages (the three tape controllers and the three libraries, no test
// device, nothing masked). It runs last (file-name order): it changes the
// managed set. With --update-snapshots it rewrites docs/images/element-list.png;
// otherwise the picture goes to the artifacts folder to look at.
//   tests/e2e/run.sh build/asan readme_picture --update-snapshots
const { test, expect, rowOf, ARTIFACTS } = require('../fixtures');
const fs = require('fs');
const path = require('path');

const README_IMAGE = path.resolve(__dirname, '..', '..', '..', 'docs', 'images', 'element-list.png');
const DEMO = ['tc01', 'tc02', 'tc03', 'lib01', 'lib02', 'lib03'];

test.use({ viewport: { width: 1280, height: 800 } });
test.describe.configure({ timeout: 240_000 });

test('the README picture shows the demo\'s element list', async ({ admin, elements, sim }) => {
  const post = (page, form) => admin.request.post(`/KOR/${page}`, { form, headers: { Origin: process.env.KOR_BASE_URL } });
  if (await rowOf(elements, 'mk01').count()) await post('delete_element.html', { element_name: 'mk01', ok: 'Remove' });
  for (const name of DEMO) {
    if (!(await rowOf(elements, name).count())) {
      await post('add_element.html', { element_address: sim.address(name), element_name: name });
    }
  }
  // Every row polled at least once (no Unknown left), as a person waits for.
  await expect(async () => {
    await admin.reload();
    await expect(elements.locator('tr.element-row')).toHaveCount(DEMO.length, { timeout: 2_000 });
    await expect(elements.locator('tr.element-row img.status-icon[alt=Unknown]')).toHaveCount(0, { timeout: 2_000 });
  }).toPass({ timeout: 180_000 });
  await admin.waitForLoadState('networkidle');
  const update = ['all', 'changed'].includes(test.info().config.updateSnapshots);
  await admin.screenshot({ path: update ? README_IMAGE : path.join(ARTIFACTS, 'readme-element-list.png') });
  if (update) expect(fs.statSync(README_IMAGE).size).toBeGreaterThan(10_000);
});
