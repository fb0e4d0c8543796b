// The first view of a game made in a given second is the desktop game's first view of that
// second: the map and both armies come from the clock, so the page's picture under the pause
// menu must match the desktop's within what two software rasterizers differ by, and must not
// match the picture of another second.
import assert from 'node:assert/strict';
import {execFile} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {promisify} from 'node:util';
import {after, before, test} from 'node:test';

import {OUT_DIR, sleep} from './lib/browser.mjs';
import {compareImages, readPng, writePng} from './lib/image.mjs';
import {figure, LIMIT, openSession, story, SOURCE_DIR} from './lib/session.mjs';

const SECOND = 1709294400;         // 2024-03-01 12:00:00 UTC, the desktop tests' second
const OTHER_SECOND = SECOND + 301;
const NATIVE = process.env.QUORVALE_NATIVE;

// Two rasterizers place edges and sample textures a little differently (Mesa's and
// SwiftShader's pictures of one world differed by a mean of 0.6 and in 0.4% of the pixels); a
// different world changes the terrain under most of the picture (a mean of about 30, and
// nearly half the pixels).
const TOLERANCE = {meanDiff: 3, farShare: 0.03};
const within = (c) => c.meanDiff <= TOLERANCE.meanDiff && c.farShare <= TOLERANCE.farShare;

const step = story(test);
let session;
const games = [];
let nativeView, pageView, otherPageView;

before(async () => {
  session = await openSession('first-view');
}, LIMIT);
after(async () => session?.close(...games), LIMIT);

// The page's first view of a game made in `second`: "Play" clicked where the desktop test
// clicks it, the pointer left resting there on "Continue".
async function pageFirstView(second, label) {
  const game = await session.open({frozenSecond: second, name: `first-view-${label}`});
  games.push(game);
  await game.startPlaying();
  await game.clickAt(450, 262);
  await game.waitFor('q.state === "paused"');
  await game.waitForLine(/^creating mesh vbo$/);
  await sleep(500);
  const reads = await game.page.evaluate(() => window.__frozenTimeReads);
  assert.ok(reads >= 2, `the game read the frozen clock ${reads} times, not at start-up and at Play`);
  assert.deepEqual(game.failures(), []);
  return game.shot('pause');
}

function record(t, name, a, b) {
  const c = compareImages(a, b);
  writePng(path.join(OUT_DIR, `first-view-diff-${name}.png`), c.diff);
  const figures = {meanDiff: +c.meanDiff.toFixed(2), farShare: +c.farShare.toFixed(4),
                   blockMeanDiff: +c.blockMeanDiff.toFixed(2)};
  fs.writeFileSync(path.join(OUT_DIR, `first-view-diff-${name}.json`), JSON.stringify(figures, null, 2) + '\n');
  figure(t, `${name}: mean channel difference ${figures.meanDiff}, pixels more than 48 apart ` +
            `${(100 * figures.farShare).toFixed(1)}%, over 8x8 blocks ${figures.blockMeanDiff} ` +
            `(tolerance: ${TOLERANCE.meanDiff}, ${100 * TOLERANCE.farShare}%)`);
  return c;
}

step(`the desktop game's first view of ${SECOND}`, 60, async () => {
  assert.ok(NATIVE && fs.existsSync(NATIVE), `no desktop game to compare with (QUORVALE_NATIVE=${NATIVE})`);
  const file = path.join(OUT_DIR, `first-view-native-${SECOND}.png`);
  fs.rmSync(file, {force: true});
  await promisify(execFile)('xvfb-run', ['-a', '-s', '-screen 0 1280x1024x24 -noreset', 'bash',
    path.join(SOURCE_DIR, 'tests/browser/native_first_view.sh'), NATIVE, SOURCE_DIR, String(SECOND), file],
    {timeout: 50000});
  nativeView = readPng(file);
  assert.equal(`${nativeView.width}x${nativeView.height}`, '800x600');
});

step('the page\'s first views of the same second and of another', 60, async () => {
  pageView = await pageFirstView(SECOND, String(SECOND));
  otherPageView = await pageFirstView(OTHER_SECOND, String(OTHER_SECOND));
});

step('the page shows the desktop\'s world of the same second', 20, async (t) => {
  const same = record(t, 'same-second', nativeView, pageView);
  assert.ok(within(same), 'the page\'s first view is not the desktop\'s of the same second');
});

step('the same tolerance tells the world of another second apart', 20, async (t) => {
  const other = record(t, 'other-second', nativeView, otherPageView);
  assert.ok(!within(other), 'a different world passes as the same: the comparison proves nothing');
});
