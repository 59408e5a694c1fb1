// The Attachment Scanner from the page: its settings dialog as the module lays it out, and a run over
// the sample scenes that ends in its final message with zorhost still serving.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {test} from 'node:test';

import {copySamples, filesEnding, sceneFiles, ui, until, withHost} from './harness.mjs';

test('the Attachment Scanner settings dialog and a run without a crash', async () => {
  await withHost('attachment-scanner', {}, async ({host, page, shot, root}) => {
    const scenes = copySamples(root, 'scenes');
    const results = path.join(root, 'results');
    await ui.menu(page, 'Attachment Scanner').click();
    const settings = ui.dialog(page, 'Dialog');
    await settings.waitFor();
    assert.equal(await settings.getAttribute('aria-modal'), 'true');
    const fields = {'Scene Path': scenes, 'Reference Path': results};
    for (const [name, value] of Object.entries(fields)) {
      const field = settings.getByRole('textbox', {name});
      assert.equal(await field.inputValue(), '');
      await field.fill(value);
      await field.press('Tab');
    }
    const cluster = settings.getByRole('checkbox', {name: 'Use Cluster Render', exact: true});
    assert.equal(await cluster.isChecked(), false);
    assert.equal(await settings.getByRole('button', {name: 'Choose…'}).count(), 2);
    for (const name of ['OK', 'Cancel'])
      assert.equal(await settings.getByRole('button', {name, exact: true}).count(), 1);
    await shot('settings');
    await settings.getByRole('button', {name: 'OK', exact: true}).click();

    const message = ui.message(page);
    await message.waitFor({timeout: 300000});
    assert.equal(await message.locator('p').textContent(), 'Renderator successful!');
    await shot('final-message');
    await message.getByRole('button', {name: 'OK'}).click();

    await until(async () => {
      const state = await host.state();
      return state.running === '' && !state.messages.length && !state.dialogs.length;
    }, 'zorhost idle again');
    const events = host.transcript();
    assert.ok(events.some((e) => e.event === 'dialogOpen' && e.title === 'Renderator Crash Checker'));
    // a full image and a preview for every scene, and no crash report
    assert.equal(filesEnding(results, '.tif').length, 2 * sceneFiles(scenes).length);
    assert.equal(fs.existsSync(path.join(root, 'prefs', 'crashes')), false);
  });
});
