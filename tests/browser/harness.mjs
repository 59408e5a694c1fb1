// What every browser test shares: a zorhost serving its page from a temporary folder of its own, headless
// Chromium on that page, screenshots of the steps, and the end of both processes whatever happened.
// ctest hands over the paths (tests/CMakeLists.txt): ZORHOST, RELKIT_MODULE, RELKIT_SOURCE_DIR and
// BROWSER_ARTIFACTS, the folder the screenshots go to.
import {spawn, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

function required(name) {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set: run the browser tests through ctest (label browser)`);
  return value;
}

export const sourceDir = () => required('RELKIT_SOURCE_DIR');
export const samplesDir = () => path.join(sourceDir(), 'examples', 'scenes');
export const dataDir = () => path.join(sourceDir(), 'tests', 'data');
// the prefix of the Renderator's numbered result folders at the default host version
export const resultPrefix = '_renderator_16.050_';

// playwright-core is installed by scripts/install-deps.sh; said plainly when it is not there.
async function playwright() {
  try {
    return await import('playwright-core');
  } catch (error) {
    throw new Error(`playwright-core is missing (${error.message}): run scripts/install-deps.sh`);
  }
}

// zorhost with the real module and the tools switched on, start-up and prefs folders below root.
function hostArgs(root) {
  return [
    '--startup', path.join(root, 'startup'), '--prefs', path.join(root, 'prefs'), '--module',
    required('RELKIT_MODULE'), '--set', 'g_nexalRelkitTools=true'
  ];
}

// Not the test's own environment: a crash-scene folder of the user's would fill the scanner's dialog.
function hostEnv() {
  const env = {...process.env};
  delete env.ZOR_ATTACHMENT_DIR;
  return env;
}

const children = new Set();
// A test that dies in the middle (an exception outside the session, a signal) leaves no zorhost behind.
process.on('exit', () => {
  for (const child of children) child.kill('SIGKILL');
});

// One zorhost process; `ready` resolves with the page's address once its first line is out.
class Host {
  constructor(root, args, listen, transcript) {
    this.root = root;
    this.transcriptFile = path.join(root, 'transcript.jsonl');
    this.out = '';
    this.err = '';
    const record = transcript ? ['--transcript', this.transcriptFile] : [];
    this.proc = spawn(
        required('ZORHOST'), [...hostArgs(root), ...record, '--ui-server', listen, ...args],
        {cwd: root, env: hostEnv(), stdio: ['ignore', 'pipe', 'pipe']});
    children.add(this.proc);
    this.exited = new Promise((resolve) => this.proc.on('exit', (code, signal) => {
      children.delete(this.proc);
      resolve(code ?? `signal ${signal}`);
    }));
    this.proc.stderr.on('data', (chunk) => {
      this.err += chunk;
    });
    this.ready =
        new Promise((resolve, reject) => {
          this.proc.stdout.on('data', (chunk) => {
            const before = this.out.includes('\n');
            this.out += chunk;
            if (!before && this.out.includes('\n')) resolve(this.out.slice(0, this.out.indexOf('\n')).trim());
          });
          this.exited.then(
              (code) => reject(new Error(`zorhost ended (${code}) before its address:\n${this.err}`)));
        }).then((line) => {
          const url = new URL(line);
          this.url = url.href;
          this.origin = url.origin;
          this.port = Number(url.port);
          this.hostname = url.hostname;
          this.token = url.searchParams.get('token');
          return this;
        });
  }

  // A request to the server as it is, for the checks the page cannot make: no token added, headers as
  // given (Host and Origin included, which fetch would not let a test set). Resolves {status, body}.
  request(method, pathAndQuery, {headers = {}, body, address = this.hostname, port = this.port} = {}) {
    return new Promise((resolve, reject) => {
      const req = http.request(
          {
            host: address,
            port,
            method,
            path: pathAndQuery,
            headers,
            setHost: !('Host' in headers),
            agent: false
          },
          (res) => {
            let text = '';
            res.on('data', (chunk) => {
              text += chunk;
            });
            res.on('end', () => resolve({status: res.statusCode, body: text}));
          });
      req.on('error', reject);
      req.end(body);
    });
  }

  async state() {
    const {status, body} = await this.request('GET', `/state?token=${this.token}`);
    if (status !== 200) throw new Error(`GET /state answered ${status}: ${body}`);
    return JSON.parse(body);
  }

  async action(act) {
    const {status, body} = await this.request(
        'POST', `/action?token=${this.token}`,
        {headers: {'Content-Type': 'application/json'}, body: JSON.stringify(act)});
    return {status, ...JSON.parse(body)};
  }

  transcript() { return readTranscript(this.transcriptFile); }

  // SIGTERM first, as a user's Ctrl-C; a zorhost that does not end within ten seconds is killed.
  async stop() {
    if (this.proc.exitCode !== null || this.proc.signalCode !== null) return this.exited;
    this.proc.kill('SIGTERM');
    const timer = setTimeout(() => this.proc.kill('SIGKILL'), 10000);
    const code = await this.exited;
    clearTimeout(timer);
    return code;
  }
}

export function readTranscript(file) {
  if (!fs.existsSync(file)) return [];
  return fs.readFileSync(file, 'utf8').split('\n').filter(Boolean).map((line) => JSON.parse(line));
}

// Screenshots of the steps, numbered in order: BROWSER_ARTIFACTS/NAME/NN-step.png, emptied per run.
function shooter(page, name) {
  const folder = path.join(required('BROWSER_ARTIFACTS'), name);
  fs.rmSync(folder, {recursive: true, force: true});
  fs.mkdirSync(folder, {recursive: true});
  let count = 0;
  return (step) => page.screenshot(
             {path: path.join(folder, `${String(++count).padStart(2, '0')}-${step}.png`), fullPage: true});
}

// Runs body({host, page, shot, root}) with a zorhost on the page (options: args, listen, browser false
// for none, transcript false for none, open false to leave the page for the body to open). Both processes
// end, whatever happened; root is removed after a success and kept (its path said) after a failure, as the
// other end-to-end tests keep theirs.
export async function withHost(name, options, body) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), `browser_${name}_`));
  for (const folder of ['startup', 'prefs']) fs.mkdirSync(path.join(root, folder));
  let host, browser, passed = false;
  try {
    host = new Host(root, options.args ?? [], options.listen ?? '0', options.transcript ?? true);
    await withTimeout(host.ready, 60000, 'zorhost printed no address');
    let page, shot;
    if (options.browser !== false) {
      const {chromium} = await playwright();
      // XDG_CONFIG_HOME too, or Chromium keeps its crash reports in the user's settings
      const env = {...process.env, XDG_CONFIG_HOME: path.join(root, 'chromium')};
      browser = await chromium.launch({executablePath: '/usr/bin/chromium', headless: true, env});
      page = await browser.newPage({viewport: {width: 1280, height: 800}});
      page.setDefaultTimeout(60000);
      if (options.open !== false) await openPage(page, host);
      shot = shooter(page, name);
    }
    await body({host, page, shot, root});
    passed = true;
  } catch (error) {
    if (host) error.message += `\nzorhost stderr:\n${host.err}\nkept: ${root}`;
    throw error;
  } finally {
    await browser?.close().catch(() => {});
    await host?.stop();
    if (passed) fs.rmSync(root, {recursive: true, force: true});
  }
}

export async function openPage(page, host) {
  await page.goto(host.url);
  await page.waitForFunction(() => document.body.dataset.version !== undefined);
}

// A guard against a hang, never a measure: the test fails with what it waited for.
export function withTimeout(promise, ms, what) {
  let timer;
  const guard = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`${what} in ${ms} ms`)), ms);
  });
  return Promise.race([promise, guard]).finally(() => clearTimeout(timer));
}

// Polls an async condition until it holds (a hang guard of a minute by default); answers its value.
export async function until(condition, what, ms = 60000) {
  const end = Date.now() + ms;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > end) throw new Error(`never happened: ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// A zorhost run driven by a UI script instead of the page, for comparing what both record. Answers
// {status, out, err, transcript}.
export function runScripted(root, steps, args) {
  const tag = `scripted${fs.readdirSync(root).filter((n) => n.startsWith('scripted')).length}`;
  const script = path.join(root, `${tag}.json`), transcript = path.join(root, `${tag}.jsonl`);
  fs.writeFileSync(script, JSON.stringify(steps));
  const run = spawnSync(
      required('ZORHOST'), [...hostArgs(root), '--transcript', transcript, '--ui', script, ...args],
      {cwd: root, env: hostEnv(), encoding: 'utf8', timeout: 300000, stdio: ['ignore', 'pipe', 'pipe']});
  return {status: run.status, out: run.stdout, err: run.stderr, transcript: readTranscript(transcript)};
}

// A copy of the sample scenes at root/NAME; edit(scene) may change each scene file's JSON.
export function copySamples(root, name, edit) {
  const target = path.join(root, name);
  fs.cpSync(samplesDir(), target, {recursive: true});
  if (edit) {
    for (const file of sceneFiles(target)) {
      const scene = JSON.parse(fs.readFileSync(file, 'utf8'));
      edit(scene);
      fs.writeFileSync(file, JSON.stringify(scene));
    }
  }
  return target;
}

export function sceneFiles(folder) {
  return fs.readdirSync(folder, {recursive: true})
      .filter((f) => f.endsWith('.zor'))
      .map((f) => path.join(folder, f));
}

export function filesEnding(folder, suffix) {
  return fs.existsSync(folder) ? fs.readdirSync(folder).filter((f) => f.endsWith(suffix)) : [];
}

// The status column of a Renderator or scanner report (_result.txt), one entry per scene.
export function reportStatuses(folder) {
  const lines = fs.readFileSync(path.join(folder, '_result.txt'), 'utf8').split('\n').slice(1);
  return lines.filter((line) => line.trim()).map((line) => line.trim().split(/\s+/)[1]);
}

// The page's pieces by the roles and names it promises.
export const ui = {
  menu: (page, name) =>
      page.getByRole('navigation', {name: 'Commands'}).getByRole('button', {name, exact: true}),
  dialog: (page, title) => page.locator(`section[role="dialog"][aria-label="${title}"]`),
  message: (page) => page.getByRole('alertdialog', {name: 'Message'}),
  chooser: (page, kind) => page.getByRole('dialog', {name: `Choose a ${kind}`, exact: true}),
  gadget: (scope, id) => scope.locator(`[data-gadget-id="${id}"]`),
};

// Waits until the page has applied at least state version v.
export function pageAt(page, version) {
  return page.waitForFunction((v) => Number(document.body.dataset.version) >= v, version);
}
