// The Renderator driven from the page as a person does: the settings dialog, the folder chooser, the
// progress dialog and the final message, ending in the same result and transcript a UI script gives.
import assert from 'node:assert/strict';
import path from 'node:path';
import {test} from 'node:test';

import {copySamples, filesEnding, pageAt, reportStatuses, resultPrefix, runScripted, sceneFiles, ui, until, withHost} from './harness.mjs';

const progressTitle = 'Renderator - building comparison base';

// Every status text the progress dialog's status line shows, in order, however short it was there.
function recordStatusLine(page) {
  return page.evaluate((title) => {
    window.statusSeen = [];
    const note = () => {
      const text =
          document.querySelector(`section[aria-label="${title}"] [data-gadget-id="5000"]`)?.textContent;
      if (text && window.statusSeen.at(-1) !== text) window.statusSeen.push(text);
    };
    new MutationObserver(note).observe(document.body, {subtree: true, childList: true, characterData: true});
  }, progressTitle);
}

// What a transcript says happened, without what depends on timing (status lines, progress texts) or
// on the scene folder's own path.
function story(transcript, scenes) {
  const keep = {
    dialogOpen: ['title', 'modal'],
    dialogClose: ['title', 'result'],
    message: ['text', 'acknowledged'],
    command: ['name', 'result'],
    console: ['text']
  };
  const lines = transcript.filter((e) => keep[e.event])
      .map(
          (e) => [e.event,
                  ...keep[e.event].map(
                      (k) => (typeof e[k] === 'string' ? e[k].replaceAll(scenes, 'SCENES') : e[k]))]
                     .join(' | '));
  // The worker prints while the main thread opens the progress dialog: each sequence has its order, their
  // interleaving is the scheduler's.
  const printed = (l) => l.startsWith('console | ');
  return [...lines.filter((l) => !printed(l)), ...lines.filter(printed)];
}

test(
    'a Renderator run from the menu: settings, chooser, progress, final message, result, transcript',
    async () => {
      await withHost('renderator', {}, async ({host, page, shot, root}) => {
        const scenes = copySamples(root, 'scenes');
        const count = sceneFiles(scenes).length;
        await ui.menu(page, 'Renderator').click();
        const settings = ui.dialog(page, 'Dialog');
        await settings.waitFor();
        // the menu waits while the modal dialog is open
        assert.equal(await ui.menu(page, 'Renderator').isDisabled(), true);
        for (const text of ['Scene Path', 'Reference Path', 'Override'])
          await settings.getByText(text, {exact: true}).waitFor();
        const box = (name, more = {}) => settings.getByRole('checkbox', {name, exact: true, ...more});
        const ticks = {};
        for (const name of ['Continue interrupted reference build', 'Use Cluster Render', 'OpenGL Rendering'])
          ticks[name] = [await box(name).isChecked(), await box(name).isEnabled()];
        assert.deepEqual(ticks, {
          'Continue interrupted reference build': [false, false],
          'Use Cluster Render': [true, true],
          'OpenGL Rendering': [true, true]
        });
        const override = settings.getByRole('combobox', {name: 'Override'});
        assert.deepEqual(
            await override.locator('option').allTextContents(),
            ['None', 'Physical - Standard', 'Physical - Embree Faster', 'Physical - Embree Smaller']);
        assert.equal(await override.inputValue(), '0');
        await shot('settings');

        // typed fields reach the module: with both folders named it offers to continue a build
        const sceneField = settings.getByRole('textbox', {name: 'Scene Path'});
        const referenceField = settings.getByRole('textbox', {name: 'Reference Path'});
        await sceneField.fill(root);
        await sceneField.press('Tab');
        await referenceField.fill(path.join(root, 'elsewhere'));
        await referenceField.press('Tab');
        await box('Continue interrupted reference build', {disabled: false}).waitFor();
        await referenceField.fill('');
        await referenceField.press('Tab');
        await box('Continue interrupted reference build', {disabled: true}).waitFor();
        await box('OpenGL Rendering').uncheck();

        // the scene folder chosen in the chooser, from zorhost's working folder (root) into "scenes/"
        await settings.getByRole('button', {name: 'Choose…'}).first().click();
        const chooser = ui.chooser(page, 'folder');
        await chooser.waitFor();
        await until(
            async () => (await chooser.getByRole('textbox', {name: 'Path'}).inputValue()) === root,
            'the chooser at the working folder');
        await chooser.getByRole('list', {name: 'Entries'})
            .getByRole('button', {name: 'scenes/', exact: true})
            .click();
        await until(
            async () => (await chooser.getByRole('textbox', {name: 'Path'}).inputValue()) === scenes,
            'the chooser in scenes/');
        await shot('chooser');
        await chooser.getByRole('button', {name: 'Choose this folder'}).click();
        await chooser.waitFor({state: 'detached'});
        await until(async () => (await sceneField.inputValue()) === scenes, 'the chosen folder in the field');
        await shot('settings-filled');

        await recordStatusLine(page);
        await settings.getByRole('button', {name: 'OK', exact: true}).click();
        await ui.dialog(page, progressTitle).waitFor();
        await shot('progress');
        const message = ui.message(page);
        await message.waitFor({timeout: 300000});
        assert.equal(await message.locator('p').textContent(), 'Renderator successful!');
        await shot('final-message');
        await message.getByRole('button', {name: 'OK'}).click();
        await message.waitFor({state: 'detached'});

        // the progress dialog showed the module's status texts: scene by scene, as far as the page saw them
        const seen = await page.evaluate(() => window.statusSeen);
        const transcript = host.transcript();
        const set = transcript.filter((e) => e.event === 'gadget' && e.id === 5000).map((e) => e.value);
        assert.ok(
            seen.some(
                (t) => new RegExp(`^\\[\\d+/${count} - \\d+%\\] Processing file .+\\.zor\\.\\.\\.$`).test(t)),
            JSON.stringify(seen));
        assert.deepEqual(seen.filter((t) => !set.includes(t)), [], 'shown but never set');

        const result = path.join(scenes, `${resultPrefix}1`);
        assert.equal(filesEnding(result, '.tif').length, count);
        assert.deepEqual(reportStatuses(result), Array(count).fill('CREATED'));

        await ui.menu(page, 'Quit').click();
        assert.equal(await host.exited, 0);
        await page.waitForFunction(() => document.body.dataset.ended === 'true');
        await shot('ended');

        // what the page did is recorded as a UI script's steps are: the same events in the same order
        const again = copySamples(root, 'scripted-scenes');
        const scripted = runScripted(
            root,
            [
              {dialog: {set: [[1000, again], [1005, false]], press: 'ok'}}, {dialog: {wait: true}},
              {message: 'Renderator successful!'}
            ],
            ['--command', 'Renderator']);
        assert.equal(scripted.status, 0, scripted.err);
        const browserStory = story(transcript, scenes);
        assert.ok(browserStory.includes('message | Renderator successful! | true'), browserStory.join('\n'));
        assert.deepEqual(browserStory, story(scripted.transcript, again));
      });
    });

test('closing the progress dialog stops the run at the scene in progress', async () => {
  // every scene takes a second at least, so that the run is still going when the page closes the dialog
  await withHost('renderator-cancelled', {args: ['--allow-faults']}, async ({host, page, shot, root}) => {
    const scenes = copySamples(root, 'scenes', (scene) => {
      scene.faults = {delayMs: 1000};
    });
    const count = sceneFiles(scenes).length;
    await ui.menu(page, 'Renderator').click();
    const settings = ui.dialog(page, 'Dialog');
    await settings.getByRole('checkbox', {name: 'OpenGL Rendering'}).uncheck();
    // Enter in a field commits the text and presses OK, in that order
    const sceneField = settings.getByRole('textbox', {name: 'Scene Path'});
    await sceneField.fill(scenes);
    await sceneField.press('Enter');
    const progress = ui.dialog(page, progressTitle);
    await progress.getByText(/Processing file/).waitFor();
    await shot('progress');
    const {version} = await host.state();
    await progress.getByRole('button', {name: 'Close'}).click();
    await pageAt(page, version + 1);
    const message = ui.message(page);
    await message.waitFor({timeout: 300000});
    assert.match(await message.locator('p').textContent(), /^An error occured/);
    await shot('stopped');
    await message.getByRole('button', {name: 'OK'}).click();
    await until(async () => (await host.state()).running === '', 'the command to return');

    const result = path.join(scenes, `${resultPrefix}1`);
    const statuses = reportStatuses(result);
    const made = filesEnding(result, '.tif').length;
    assert.ok(made < count, `${made} of ${count} images`);
    assert.equal(statuses.filter((s) => s === 'CREATED').length, made);
    assert.ok(statuses.includes('PENDING'), statuses.join(' '));
    const closed = host.transcript().filter((e) => e.event === 'dialogClose' && e.title === progressTitle);
    assert.deepEqual(closed.map((e) => e.result), ['window']);
  });
});
