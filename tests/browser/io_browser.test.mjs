// The I/O browser in the page: a non-modal dialog with a tree view fetched in pages, a location field,
// "..", and a preview of text and of a camera's JPEG on two tab pages.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {test} from 'node:test';

import {dataDir, ui, until, withHost} from './harness.mjs';

test(
    'the I/O browser lists handlers, enters a folder and an archive, and previews a text and a JPEG',
    async () => {
      await withHost('io-browser', {}, async ({page, shot, root}) => {
        const data = path.join(root, 'data');
        fs.mkdirSync(path.join(data, 'alpha'), {recursive: true});
        fs.writeFileSync(path.join(data, 'alpha', 'inner.txt'), 'inside');
        fs.copyFileSync(path.join(dataDir(), 'two_entries.zip'), path.join(data, 'bravo.zip'));
        fs.writeFileSync(path.join(data, 'charlie.txt'), Buffer.from('Hello\tWorld\n\x01\xe9end', 'latin1'));
        fs.copyFileSync(path.join(dataDir(), 'exif', 'Canon_40D.jpg'), path.join(data, 'delta.jpg'));

        await ui.menu(page, 'ioBrowserManager').click();
        const dialog = ui.dialog(page, 'IoHandler Test');
        await dialog.waitFor();
        assert.equal(await dialog.getAttribute('aria-modal'), 'false');
        const tree = dialog.getByRole('grid');
        // the first cell of each row in the DOM, once they are the expected ones
        const names = (expected) =>
            until(async () => {
              const shown =
                  await tree.locator('[role="row"]')
                      .evaluateAll(
                          (rows) =>
                              rows.map((row) => row.querySelector('[role="gridcell"]')?.textContent.trim())
                                  .filter((name) => name));
              return JSON.stringify(shown) === JSON.stringify(expected) && shown;
            }, `rows ${JSON.stringify(expected)}`).catch(async (error) => {
              error.message += `; shown: ${await tree.textContent()}`;
              throw error;
            });
        const row = (name) =>
            tree.getByRole('row').filter({has: page.getByRole('gridcell', {name, exact: true})});

        const location = dialog.getByRole('textbox', {name: 'Gadget 1001', exact: true});
        assert.equal(await location.inputValue(), 'handler://');
        await row('[DIR] file').waitFor();
        await shot('handlers');

        const folder = ['[DIR] alpha', '[FILE] bravo.zip', '[FILE] charlie.txt', '[FILE] delta.jpg'];
        await location.fill(`file://${data}`);
        await location.press('Enter');
        await names(folder);
        assert.equal(await tree.getAttribute('aria-rowcount'), '4');
        // The second press is held while the first click's selection is drawn and its rows come back:
        // a person's double-click takes that long on a loaded machine, and it must still enter the folder.
        const box = await row('[DIR] alpha').boundingBox();
        const reread = page.waitForResponse((r) => new URL(r.url()).pathname === '/tree');
        await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
        await page.mouse.down({clickCount: 2});
        await reread;
        await until(
            async () => (await row('[DIR] alpha').getAttribute('aria-selected')) === 'true', 'the selection');
        await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
        await page.mouse.up({clickCount: 2});
        await names(['[FILE] inner.txt']);
        await shot('folder-entered');
        await dialog.getByRole('button', {name: '..', exact: true}).click();
        await names(folder);
        await row('[FILE] bravo.zip').dblclick();
        await names(['[FILE] one.txt', '[FILE] two.txt']);
        await shot('archive-opened');
        await dialog.getByRole('button', {name: '..', exact: true}).click();
        await names(folder);

        // a tab and a line end as they are, a control byte and a byte above 127 as hex escapes
        await row('[FILE] charlie.txt').click();
        const tab = (name) => dialog.getByRole('tab', {name, exact: true});
        const text = dialog.getByRole('tabpanel').getByRole('textbox', {name: 'Gadget 10004', exact: true});
        // bravo.zip's preview, from its click before the double-click, is shown until charlie.txt's comes
        const preview = 'Size: 17\nContent:\nHello\tWorld\n 0x01 0xE9end';
        await until(async () => (await text.inputValue().catch(() => '')).includes(preview), 'the text preview')
            .catch(async (error) => {
              error.message += `; shown: ${await text.inputValue().catch(() => '')}`;
              throw error;
            });
        assert.equal(await tab('Text').getAttribute('aria-selected'), 'true');
        await shot('text-preview');

        await row('[FILE] delta.jpg').click();
        await until(
            async () => (await tab('Image').getAttribute('aria-selected')) === 'true', 'the Image page');
        const picture = dialog.getByRole('tabpanel').getByRole('img');
        await until(
            () => picture.evaluate((img) => img.complete && img.naturalWidth > 0), 'the picture loaded');
        assert.deepEqual(await picture.evaluate((img) => [img.naturalWidth, img.naturalHeight]), [100, 68]);
        await shot('image-preview');
        // the camera's make and model are written on the Text page
        await tab('Text').click();
        await until(
            async () => (await text.inputValue().catch(() => '')).includes('Image loaded successfully.'),
            'the Text page');
        const exif = await text.inputValue();
        assert.match(exif, /Make\b.*\bCanon\b/);
        assert.match(exif, /Model\b.*\bCanon EOS 40D\b/);
        await shot('exif');
      });
    });
