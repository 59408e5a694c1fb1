// The server answers only whoever holds the token, from the page's own origin, on the address it was
// asked to listen on; a refused request changes nothing.
import assert from 'node:assert/strict';
import net from 'node:net';
import os from 'node:os';
import {test} from 'node:test';

import {withHost} from './harness.mjs';

// A port free on address now (zorhost takes it a moment later).
function freePort(address) {
  return new Promise((resolve, reject) => {
    const server = net.createServer().once('error', reject);
    server.listen(0, address, () => {
      const {port} = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Whether anything accepts a connection at address:port.
function answers(address, port) {
  return new Promise((resolve) => {
    const socket = net.connect({host: address, port});
    socket.once('connect', () => {
      socket.destroy();
      resolve(true);
    });
    socket.once('error', () => resolve(false));
  });
}

test('requests without the token or from another origin are refused and change nothing', async () => {
  await withHost('security', {browser: false}, async ({host}) => {
    const before = await host.state();
    const command = JSON.stringify({do: 'command', name: 'ioBrowserManager'});
    const json = {'Content-Type': 'application/json'};
    const withToken = `/action?token=${host.token}`;
    const refused = {
      'no token': ['POST', '/action', {headers: json, body: command}],
      'a wrong token': ['POST', `/action?token=${'0'.repeat(32)}`, {headers: json, body: command}],
      'another origin':
          ['POST', withToken, {headers: {...json, Origin: 'http://evil.example'}, body: command}],
      'another port as origin': [
        'POST', withToken, {headers: {...json, Origin: `http://127.0.0.1:${host.port + 1}`}, body: command}
      ],
      'a rebinding host name':
          ['POST', withToken, {headers: {...json, Host: `evil.example:${host.port}`}, body: command}],
      'the page without the token': ['GET', '/', {}],
      'the state without the token': ['GET', '/state', {}],
      'the files without the token': ['GET', '/files?path=/', {}],
    };
    for (const [what, [method, url, options]] of Object.entries(refused)) {
      const {status, body} = await host.request(method, url, options);
      assert.equal(status, 403, `${what}: ${body}`);
      assert.ok(!body.includes('"version"'), `${what} leaked the state`);
    }
    const after = await host.state();
    assert.equal(after.version, before.version);
    assert.deepEqual(after.dialogs, []);

    // the same request from the page's own origin, with the token in the header, is carried out
    const {status} = await host.request(
        'POST', '/action',
        {headers: {...json, Origin: host.origin, 'X-Zorhost-Token': host.token}, body: command});
    assert.equal(status, 200);
    assert.deepEqual((await host.state()).dialogs.map((d) => d.title), ['IoHandler Test']);
  });
});

test('the server listens on the address asked for only', async () => {
  await withHost('listen-default', {browser: false}, async ({host}) => {
    assert.equal(host.hostname, '127.0.0.1');
    assert.equal(await answers('127.0.0.1', host.port), true);
    // another loopback address, and the machine's addresses on its networks
    const others = Object.values(os.networkInterfaces())
                       .flat()
                       .filter((a) => a.family === 'IPv4' && !a.internal)
                       .map((a) => a.address);
    for (const address of ['127.0.0.2', ...others])
      assert.equal(await answers(address, host.port), false, address);
  });
  const port = await freePort('127.0.0.2');
  await withHost('listen-other', {browser: false, listen: `127.0.0.2:${port}`}, async ({host}) => {
    assert.equal(host.origin, `http://127.0.0.2:${port}`);
    assert.equal((await host.request('GET', `/state?token=${host.token}`)).status, 200);
    assert.equal(await answers('127.0.0.1', port), false);
  });
});
