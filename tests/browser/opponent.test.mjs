// The page's choice of mode: "Play against the computer" (a link to ?opponent=1) starts the
// game in that mode, which the game's own end line proves: with F1 held the world runs to its
// end while the player gives no order, and "Defeat after M:SS" or "Draw after M:SS" is printed
// and drawn over the world; Return goes back to the main menu. Without the parameter the page
// marks "Command both parties" and the game never ends by itself.
import assert from 'node:assert/strict';
import {after, before, test} from 'node:test';

import {Game, sleep} from './lib/browser.mjs';
import {PARTY1_RGB, WHITE, centroid, countColor} from './lib/image.mjs';
import {figure, openSession, story, LIMIT} from './lib/session.mjs';

const step = story(test);
let session, game;
const END_LINE = /^(Victory|Defeat|Draw) after \d+:[0-5]\d$/;

before(async () => {
  session = await openSession('opponent');
}, LIMIT);
after(async () => session?.close(game), LIMIT);

async function currentMode(g) {
  return g.page.$eval('#mode [aria-current="page"]', (a) => a.textContent);
}

step('without the parameter the page marks "Command both parties"', 40, async () => {
  const plain = await session.open({name: 'opponent-plain'});
  await plain.waitFor('q.ready', 30000);
  assert.equal(await currentMode(plain), 'Command both parties');
  assert.equal((await plain.state()).opponent, false);
  assert.ok(await plain.page.$eval('#mode-note', (p) => p.hidden), 'the computer note shows in the sandbox');
  await plain.page.close();
});

step('the link "Play against the computer" opens ?opponent=1, marked as the mode', 40, async () => {
  game = await Game.open(session.browser, session.server.url, 'opponent', {frozenSecond: 1765000003});
  await game.waitFor('q.ready', 30000);
  await Promise.all([game.page.waitForNavigation(), game.page.click('#mode-opponent')]);
  assert.match(game.page.url(), /\?opponent=1$/);
  await game.waitFor('q.ready', 30000);
  assert.equal(await currentMode(game), 'Play against the computer');
  assert.equal((await game.state()).opponent, true);
  assert.ok(!(await game.page.$eval('#mode-note', (p) => p.hidden)), 'no note on who commands which party');
});

step('play: the computer\'s units set out without an order, and F1 runs the game to its end', 170, async (t) => {
  await game.startPlaying();
  await game.page.keyboard.press('Enter');
  await game.waitFor('q.state === "paused"');
  await game.page.keyboard.press('Escape');
  await game.waitFor('q.state === "playing"');
  const start = await game.shot('start');
  await game.page.keyboard.down('F1');
  await sleep(1500);
  const later = await game.shot('later');
  const a = centroid(start, PARTY1_RGB, 3), b = centroid(later, PARTY1_RGB, 3);
  const moved = Math.hypot(a.x - b.x, a.y - b.y);
  figure(t, `the computer's units moved ${moved.toFixed(1)} pixels in 1.5 s of fast play`);
  assert.ok(a.n > 50, `the computer's party is not in view (${a.n} pixels)`);
  assert.ok(moved > 3, `the computer's units did not move (${moved.toFixed(1)} pixels)`);
  const line = await game.waitForLine(END_LINE, {timeout: 150000});
  await game.page.keyboard.up('F1');
  figure(t, `the game ended: ${line.text}`);
  assert.doesNotMatch(line.text, /^Victory/, 'a player who gave no order won');
  const end = await game.shot('end');
  const white = countColor(end, {x: 280, y: 212, w: 240, h: 48}, WHITE, 8);
  assert.ok(white > 800, `no result over the world (${white} white pixels)`);
});

step('Return at the end goes back to the main menu', 30, async () => {
  await game.page.keyboard.press('Enter');
  await game.waitFor('q.state === "menu"');
  assert.ok(!game.output().some((l) => /^Go to/.test(l)), 'an order was printed, but the player gave none');
});
