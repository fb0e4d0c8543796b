// Replays in the page: a game played on the page and saved with "Save replay" checks on the
// desktop with every hash matching, and a replay recorded on the desktop, opened with "Watch
// a replay", plays to its end in the page without diverging.
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {after, before, test} from 'node:test';

import {OUT_DIR, sleep} from './lib/browser.mjs';
import {SOURCE_DIR, openSession, story, LIMIT} from './lib/session.mjs';

const step = story(test);
const NATIVE = process.env.QUORVALE_NATIVE;
const DOWNLOADS = path.join(OUT_DIR, 'replay-downloads');
let session, game;

before(async () => {
  session = await openSession('replay');
  game = await session.open({frozenSecond: 1709294400});
  fs.rmSync(DOWNLOADS, {recursive: true, force: true});
  fs.mkdirSync(DOWNLOADS, {recursive: true});
  const cdp = await game.page.createCDPSession();
  await cdp.send('Page.setDownloadBehavior', {behavior: 'allow', downloadPath: DOWNLOADS});
  await game.startPlaying();
}, LIMIT);
after(async () => session?.close(game), LIMIT);

step('a game played on the page is saved as a replay', 90, async () => {
  await game.page.keyboard.press('Enter');  // Play: the world under the pause menu
  await game.waitForLine(/^Recording to \/replays\/quorvale-20240301-120000\.qrep$/);
  await game.page.keyboard.press('Escape');  // into play
  await game.waitFor('q.state === "playing"');
  await game.clickAt(400, 300);  // takes the pointer
  await sleep(500);
  await game.page.keyboard.down('Control');
  await game.page.keyboard.press('KeyA');  // every unit of party 0: they answer
  await game.page.keyboard.up('Control');
  await sleep(300);
  await game.moveMouseBy(0, -120);  // the ground ahead
  await sleep(300);
  await game.clickAt(400, 300);
  await sleep(3000);
  await game.page.keyboard.press('Escape');
  await game.waitFor('q.state === "paused"');
  await game.page.click('#save-replay');
  await game.waitFor('q.savedReplay !== null');
  const file = path.join(DOWNLOADS, 'quorvale-20240301-120000.qrep');
  for (let i = 0; i < 100 && !fs.existsSync(file); i++)
    await sleep(100);
  assert.ok(fs.existsSync(file), 'the download arrived');
});

step('the page\'s replay checks on the desktop', 60, async () => {
  const file = path.join(DOWNLOADS, 'quorvale-20240301-120000.qrep');
  const out = execFileSync(NATIVE, ['--check-replay', file], {encoding: 'utf8'});  // throws unless 0
  assert.match(out, / [1-9]\d* frames, [\d.]+ s of game time, [1-9]\d* hashes matched, final world hash [0-9a-f]{16}/);
});

step('a desktop replay watched on the page plays to its end', 120, async () => {
  const replay = path.join(SOURCE_DIR, 'fuzz/corpus/replay/clicks-20240301-120000.qrep');
  const input = await game.page.$('#replay-file');
  await input.uploadFile(replay);
  await game.waitFor('q.replayStatus !== null');
  assert.equal((await game.state()).replayStatus, 0);
  await game.waitForLine(/^Watching \/replays\/watched\.qrep: 130 frames/);
  await game.page.keyboard.press('Escape');  // out of the pause menu: the replay runs
  await game.page.keyboard.down('F1');
  await game.waitForLine(/^Replay ended$/, {timeout: 90000});
  await game.page.keyboard.up('F1');
  assert.ok(!game.lines.some((l) => /Replay diverged|before frame/.test(l.text)),
            'no divergence: ' + game.lines.filter((l) => l.type === 'error').map((l) => l.text).join(' | '));
});

step('a damaged file is refused with its reason on the log', 30, async () => {
  const bad = path.join(DOWNLOADS, 'damaged.qrep');
  fs.writeFileSync(bad, 'QREP-not-a-replay');
  await game.page.evaluate(() => { window.quorvale.replayStatus = null; });
  const input = await game.page.$('#replay-file');
  await input.uploadFile(bad);
  await game.waitFor('q.replayStatus !== null');
  assert.equal((await game.state()).replayStatus, 2);
  await game.waitForLine(/\/replays\/watched\.qrep: the header is cut off/);
  assert.equal((await game.state()).stopped, false, 'the game goes on');
});
