// What the browser page costs on loopback (run by bench/ui_server_bench.sh, which sets the paths):
// - click → updated dialog: a checkbox of the Renderator's settings ticked CLICKS times, each time until
//   the page has applied the state version that shows it, timed inside the page; median and worst;
// - a tree view of ROWS rows (the I/O browser on a folder of ROWS empty files): listed, then scrolled to
//   its last row, with the rows in the DOM and the /tree requests it took;
// - zorhost's memory (VmRSS and VmHWM) with no page, with the page idle, and after the big listing, and
//   the same listing made through the action API alone (no page) in a second zorhost.
import fs from 'node:fs';

import {openPage, ui, until, withHost} from '../tests/browser/harness.mjs';

const clicks = Number(process.env.CLICKS ?? 100);
const rows = Number(process.env.ROWS ?? 100000);
const folder = process.env.TREE_FOLDER;

function memory(pid) {
  const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
  const kb = (key) => Number(status.match(new RegExp(`^${key}:\\s+(\\d+) kB`, 'm'))[1]);
  return `VmRSS ${(kb('VmRSS') / 1024).toFixed(1)} MB, VmHWM ${(kb('VmHWM') / 1024).toFixed(1)} MB`;
}

const ms = (v) => `${v.toFixed(1)} ms`;

// One tick in the page: clicks the checkbox and waits for a newer state in which it shows the new value.
function timedClick(page, id) {
  return page.evaluate(
      (gadget) => new Promise((resolve) => {
        const box = () => document.querySelector(
            `[data-gadget-id="${gadget}"] input[type="checkbox"], ` +
            `input[type="checkbox"][data-gadget-id="${gadget}"]`);
        const before = Number(document.body.dataset.version), want = !box().checked;
        const start = performance.now();
        const check = () => {
          if (Number(document.body.dataset.version) > before && box()?.checked === want) {
            observer.disconnect();
            resolve(performance.now() - start);
          }
        };
        const observer = new MutationObserver(check);
        observer.observe(document.body, {subtree: true, childList: true, attributes: true});
        box().click();
      }),
      id);
}

await withHost('bench', {transcript: false, open: false}, async ({host, page}) => {
  console.log(`zorhost, no page:            ${memory(host.proc.pid)}`);
  await openPage(page, host);
  await page.waitForTimeout(1000);
  console.log(`zorhost, page open, idle:    ${memory(host.proc.pid)}`);

  await ui.menu(page, 'Renderator').click();
  await ui.dialog(page, 'Dialog').waitFor();
  const times = [];
  for (let i = 0; i < clicks; ++i) times.push(await timedClick(page, 1003));
  times.sort((a, b) => a - b);
  console.log(
      `click → updated dialog over ${clicks} clicks: median ${ms(times[clicks >> 1])}, ` +
      `worst ${ms(times.at(-1))}`);
  await ui.dialog(page, 'Dialog').getByRole('button', {name: 'Cancel', exact: true}).click();

  let requests = 0;
  page.on('request', (request) => {
    if (new URL(request.url()).pathname === '/tree') ++requests;
  });
  await ui.menu(page, 'ioBrowserManager').click();
  const dialog = ui.dialog(page, 'IoHandler Test');
  const grid = dialog.getByRole('grid');
  const location = dialog.getByRole('textbox', {name: 'Gadget 1001', exact: true});
  await location.fill(`file://${folder}`);
  const listed = performance.now();
  await location.press('Enter');
  await until(async () => (await grid.getAttribute('aria-rowcount')) === String(rows), 'the listing', 600000);
  await grid.locator('[role="row"][aria-rowindex="1"]').waitFor();
  const listMs = performance.now() - listed;
  const scrolled = performance.now();
  await grid.evaluate((el) => {
    const box = [el, ...el.querySelectorAll('*')].find(
        (e) => e.scrollHeight > e.clientHeight + 1 && /auto|scroll/.test(getComputedStyle(e).overflowY));
    box.scrollTop = box.scrollHeight;
  });
  await grid.locator(`[role="row"][aria-rowindex="${rows}"]`).waitFor({timeout: 600000});
  const scrollMs = performance.now() - scrolled;
  const inDom = await grid.locator('[role="row"][aria-rowindex]').count();
  console.log(
      `tree of ${rows} rows: listed and first row shown in ${ms(listMs)}, scrolled to the last row ` +
      `in ${ms(scrollMs)}; ${inDom} rows in the DOM, ${requests} /tree requests`);
  console.log(`zorhost, page open, ${rows} rows: ${memory(host.proc.pid)}`);
});

// the same listing without a page: the server's own model of the dialog, for comparison
await withHost('bench-no-page', {transcript: false, browser: false}, async ({host}) => {
  await host.action({do: 'command', name: 'ioBrowserManager'});
  const dialog = (await until(async () => (await host.state()).dialogs[0], 'the I/O browser')).id;
  await host.action({do: 'set', dialog, id: 1001, value: `file://${folder}`});
  const total = async () => {
    const find = (gadgets) => gadgets.flatMap((g) => (g.kind === 'treeView' ? [g] : find(g.children ?? [])));
    return find((await host.state()).dialogs[0].gadgets)[0]?.tree?.total;
  };
  await until(async () => (await total()) === rows, 'the listing', 600000);
  console.log(`zorhost, no page, ${rows} rows: ${memory(host.proc.pid)}`);
});
