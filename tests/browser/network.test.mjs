// A network game between the page and the desktop game, both on one quorvale-server that also
// serves the page: the desktop hosts and the page joins with the code typed into "Join a
// game" (the other player's leaving is reported on the page); then the page hosts ("Host a
// game" shows the code and a link) and the desktop joins. An order from each reaches both
// worlds; when the server stops, both games run the turns they received and end at the same
// frame, and the two records are the same bytes.
import assert from 'node:assert/strict';
import {execFileSync, spawn} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import {after, before, test} from 'node:test';

import {Game, launch, OUT_DIR, PAGE_DIR, sleep} from './lib/browser.mjs';
import {figure, LIMIT, SOURCE_DIR, story} from './lib/session.mjs';

const NATIVE = process.env.QUORVALE_NATIVE;
const SERVER = process.env.QUORVALE_SERVER || (NATIVE && path.join(path.dirname(NATIVE), 'quorvale-server'));
const RECORDS = path.join(OUT_DIR, 'network-records');

const step = story(test);
let server, browser, url, code;
const natives = [];
const games = [];

// A child whose output lines are kept as they come; `lines` and `exited` (its status).
function follow(child, name) {
  const run = {child, lines: [], exited: null, log: fs.createWriteStream(path.join(OUT_DIR, `${name}.txt`))};
  let partial = '';
  const take = (chunk) => {
    run.log.write(chunk);
    const parts = (partial + chunk).split('\n');
    partial = parts.pop();
    run.lines.push(...parts);
  };
  child.stdout.setEncoding('utf8').on('data', take);
  child.stderr.setEncoding('utf8').on('data', take);
  run.done = new Promise((resolve) => child.on('exit', (status) => {
    run.exited = status;
    run.log.end();
    resolve(status);
  }));
  return run;
}

async function waitForChildLine(run, re, timeout) {
  const end = Date.now() + timeout;
  for (;;) {
    const line = run.lines.find((l) => re.test(l));
    if (line)
      return line.match(re);
    if (run.exited !== null || Date.now() > end)
      throw new Error(`no line matching ${re} (${run.exited !== null ? `ended with ${run.exited}` : 'timed out'}); ` +
                      `last lines:\n${run.lines.slice(-12).join('\n')}`);
    await sleep(100);
  }
}

// The desktop game in a window of its own X server (native_net.sh says what it does).
function startNative(name, mode, ...rest) {
  const records = path.join(RECORDS, name);
  fs.rmSync(records, {recursive: true, force: true});
  const child = spawn('xvfb-run', ['-a', '-s', '-screen 0 1280x1024x24 -noreset', 'bash',
    path.join(SOURCE_DIR, 'tests/browser/native_net.sh'), NATIVE, SOURCE_DIR, url.replace(/^http/, 'ws').replace(/\/$/, ''),
    records, mode, ...rest], {stdio: ['ignore', 'pipe', 'pipe']});
  const run = follow(child, `network-${name}`);
  run.records = records;
  natives.push(run);
  return run;
}

// The records of a game: kind byte and fields after the 48-byte header, inflated (the format
// is in src/play/gamerecord.h). Counts the orders of each party and finds the end.
function readRecord(bytes) {
  assert.equal(bytes.subarray(0, 4).toString('latin1'), 'QREP');
  // A game in progress: its stream so far, up to the last flush.
  const r = zlib.inflateSync(bytes.subarray(48), {finishFlush: zlib.constants.Z_SYNC_FLUSH});
  const orders = [0, 0];
  let end = null;
  for (let at = 0; at < r.length;) {
    const kind = String.fromCharCode(r[at++]);
    if (kind === 'S' || kind === 'G') at += 4;
    else if (kind === 'R') at += 2;
    else if (kind === 'H') at += 12;
    else if (kind === 'E') { end = r.readUInt32LE(at); at += 12; }
    else if (kind === 'O') { orders[r[at + 1]]++; at += 24 + 4 * r.readUInt16LE(at + 2); }
    else throw new Error(`record of unknown kind ${kind} at ${at - 1}`);
  }
  return {orders, end};
}

// The page's record of its game (kept in its memory), as it is now.
async function pageRecord() {
  return Buffer.from(await host.page.evaluate(() => {
    const file = Module.ccall('quorvale_replay_file', 'string', [], []);
    return Array.from(Module.FS.readFile(file));
  }));
}

before(async () => {
  assert.ok(NATIVE && fs.existsSync(NATIVE), `no desktop game (QUORVALE_NATIVE=${NATIVE})`);
  assert.ok(SERVER && fs.existsSync(SERVER), `no game server beside it (${SERVER})`);
  fs.mkdirSync(RECORDS, {recursive: true});
  server = follow(spawn(SERVER, ['--listen', '127.0.0.1:0', '--page', PAGE_DIR],
                        {stdio: ['ignore', 'pipe', 'pipe']}), 'network-server');
  const listening = await waitForChildLine(server, /^Listening on (http:\/\/127\.0\.0\.1:\d+\/)$/, 10000);
  url = listening[1];
  browser = await launch('network');
}, LIMIT);

after(async () => {
  for (const game of games)
    game.saveConsole();
  await browser?.close();
  for (const run of natives)
    if (run.exited === null)
      run.child.kill();
  server?.child.kill('SIGTERM');
  await server?.done;
}, LIMIT);

step('a code that is not five letters stops the page with the reason; an unknown one is refused', 60, async () => {
  const bad = await Game.open(browser, `${url}?join=AB1`, 'network-bad-code');
  games.push(bad);
  await bad.waitFor('q.stopped', 30000);
  assert.match(await bad.page.$eval('#message', (m) => m.textContent), /A game code is five letters/);
  await bad.page.close();
  const unknown = await Game.open(browser, `${url}?join=QQQQQ`, 'network-unknown-code');
  games.push(unknown);
  await unknown.waitForLine(/^No game with that code$/, {timeout: 30000});
  assert.equal((await unknown.state()).stopped, false, 'the page stopped; the main menu should stay');
  await unknown.page.close();
});

step('the desktop hosts; the page joins with the code typed into "Join a game"', 150, async () => {
  const native = startNative('host', 'host-leave');
  code = (await waitForChildLine(native, /^Game code: ([A-Z]{5})$/, 60000))[1];
  const game = await Game.open(browser, url, 'network-join');
  games.push(game);
  await game.waitFor('q.ready', 30000);
  assert.equal((await game.state()).network, null);
  // Typed as a player might, in small letters: the page's keys stay out of the game.
  await game.page.type('#join-code', code.toLowerCase());
  assert.equal(await game.page.$eval('#join-code', (i) => i.value), code.toLowerCase());
  await Promise.all([game.page.waitForNavigation(), game.page.click('#join-game')]);
  assert.ok(game.page.url().endsWith(`?join=${code.toLowerCase()}`), game.page.url());
  await game.waitFor('q.ready', 30000);
  const state = await game.state();
  assert.equal(state.network, 'join');
  assert.match(await game.page.$eval('#net-note', (p) => p.textContent), new RegExp(`game ${code}.*green`));
  await game.waitForLine(new RegExp(`^Joining game ${code} at ws://127\\.0\\.0\\.1:\\d+$`));
  await game.waitForLine(/^Generating map\.\.\.$/, {timeout: 60000});
  // The desktop leaves from the pause menu; the page is told and plays on.
  await game.waitForLine(/^The other player left$/, {timeout: 60000});
  assert.equal(await native.done, 0, 'the desktop game did not end cleanly');
  assert.deepEqual(game.failures(), []);
  assert.ok(server.lines.some((l) => l.includes(code) && /joined/.test(l)), 'the server logged no join');
  await game.page.close();
});

let host;
step('"Host a game" opens ?host=1, and the page shows the code and a link that joins', 60, async () => {
  host = await Game.open(browser, url, 'network-host');
  games.push(host);
  await host.waitFor('q.ready', 30000);
  await Promise.all([host.page.waitForNavigation(), host.page.click('#mode-host')]);
  assert.match(host.page.url(), /\?host=1$/);
  await host.waitFor('q.gameCode !== null', 30000);
  code = (await host.state()).gameCode;
  assert.match(code, /^[A-Z]{5}$/);
  assert.ok(host.output().includes(`Game code: ${code}`));
  assert.equal(await host.page.$eval('#mode [aria-current="page"]', (a) => a.id), 'mode-host');
  assert.match(await host.page.$eval('#net-note', (p) => p.textContent), new RegExp(`^Game code: ${code}\\n`));
  assert.equal(await host.page.$eval('#join-link', (a) => a.href), `${url}?join=${code}`);
});

let guest;
step('the desktop joins with the code; an order from each reaches both worlds', 150, async (t) => {
  guest = startNative('guest', 'join-play', code);
  await host.waitForLine(/^Generating map\.\.\.$/, {timeout: 60000});
  await host.startPlaying();
  await host.waitFor('q.state === "paused"');
  await host.page.keyboard.press('Escape');  // "Continue": the world was running already
  await host.waitFor('q.state === "playing"');
  await host.clickAt(400, 300);  // takes the pointer
  await sleep(500);
  const before = host.lines.length;
  for (let i = 0; i < 5 && !host.lines.slice(before).some((l) => /^Go to \(/.test(l.text)); i++) {
    await host.page.keyboard.down('Control');
    await host.page.keyboard.press('KeyA');
    await host.page.keyboard.up('Control');
    await sleep(300);
    await host.page.mouse.down();  // where the crosshair points
    await sleep(50);
    await host.page.mouse.up();
    await sleep(1000);
  }
  const hostOrder = await host.waitForLine(/^Go to \(/, {after: before, timeout: 1000});
  const guestOrder = await waitForChildLine(guest, /^Go to \(.*$/, 90000);
  figure(t, `orders: the page's party 0 "${hostOrder.text}", the desktop's party 1 "${guestOrder[0]}"`);
  assert.ok(!host.output().some((l) => /^Waiting for the other player/.test(l)));
});

step('the server stops: both games end at the same frame, and the two records are the same', 90, async (t) => {
  // Once both orders are in the page's record (written a second of game time at a time), and
  // so in turns both machines have, the server is stopped.
  let sofar;
  for (let i = 0; i < 120; i++) {
    sofar = readRecord(await pageRecord());
    if (sofar.orders[0] >= 1 && sofar.orders[1] >= 1)
      break;
    await sleep(500);
  }
  assert.ok(sofar.orders[0] >= 1 && sofar.orders[1] >= 1, `orders by party in the page's record: ${sofar.orders}`);
  server.child.kill('SIGTERM');
  await host.waitForLine(/^Connection to the server lost$/, {timeout: 30000});
  await waitForChildLine(guest, /^Connection to the server lost$/, 30000);
  await host.waitFor('q.state === "menu"');
  // Each machine's own clock from the click to the order's effect, printed at the end.
  const DELAY = /^Your orders took effect \d+ ms after the click on average, at most \d+ ms \(\d+ orders\)$/;
  figure(t, `click to effect in the page: ${(await host.waitForLine(DELAY, {timeout: 5000})).text}`);
  figure(t, `click to effect on the desktop: ${(await waitForChildLine(guest, DELAY, 5000))[0]}`);
  assert.equal(await guest.done, 0, 'the desktop game did not end cleanly');

  const pageBytes = await pageRecord();
  const pageFile = path.join(RECORDS, 'page-host.qrep');
  fs.writeFileSync(pageFile, pageBytes);
  const nativeFiles = fs.readdirSync(guest.records).filter((f) => f.endsWith('.qrep'));
  assert.equal(nativeFiles.length, 1, `records of the desktop: ${nativeFiles}`);
  const nativeBytes = fs.readFileSync(path.join(guest.records, nativeFiles[0]));
  assert.ok(pageBytes.equals(nativeBytes), `the records differ (${pageBytes.length} and ${nativeBytes.length} bytes)`);

  const record = readRecord(pageBytes);
  figure(t, `record: ${pageBytes.length} bytes, ${record.end} frames, orders of party 0: ` +
            `${record.orders[0]}, of party 1: ${record.orders[1]}`);
  assert.ok(record.orders[0] >= 1 && record.orders[1] >= 1, `orders by party: ${record.orders}`);
  assert.ok(record.end > 0, 'the record has no end');
  const out = execFileSync(NATIVE, ['--check-replay', pageFile], {encoding: 'utf8'});  // throws unless 0
  assert.match(out, new RegExp(` ${record.end} frames, [\\d.]+ s of game time, [1-9]\\d* hashes matched`));
  assert.ok(!server.lines.some((l) => /out of sync/.test(l)), 'the server found the worlds apart');
  assert.deepEqual(host.failures(), []);
});
