// The page keeps the game answering when the canvas is made tiny or large, and a page hidden
// or a pointer taken away by the browser in the middle of a game pauses it, as Escape does.
// Nothing of it crashes the game.
import assert from 'node:assert/strict';
import {after, before, test} from 'node:test';

import {sleep} from './lib/browser.mjs';
import {menuProblems, smallMenuProblems} from './lib/image.mjs';
import {figure, LIMIT, openSession, story} from './lib/session.mjs';

const step = story(test);
let session, game;

before(async () => {
  // A real window and screen of 1600 x 1000 for fullscreen.
  session = await openSession('robustness', {flags: ['--window-size=1600,1000', '--screen-info={1600x1000}']});
  game = await session.open();
  await game.startPlaying();
}, LIMIT);
after(async () => session?.close(game), LIMIT);

// Sizes the window so that the page gives the canvas w x h (it leaves 32 pixels of margin
// across and its header and 16 pixels below it, and the header grows as the window narrows),
// and waits until the game draws at that size.
async function canvasSize(w, h) {
  for (let i = 0, header = 60; i < 3; i++) {
    await game.setWindow(w + 32, h + header + 16);
    const now = await game.page.evaluate(() => document.querySelector('header').offsetHeight);
    if (now === header)
      break;
    header = now;
  }
  await game.waitFor(`q.canvas.width === ${w} && q.canvas.height === ${h}`, 10000);
}

step('a tiny canvas of 120 x 90: the game draws its menu centred in it', 30, async (t) => {
  await canvasSize(120, 90);
  const tiny = await game.shot('tiny');
  assert.equal(`${tiny.width}x${tiny.height}`, '120x90');
  assert.deepEqual(smallMenuProblems(tiny), []);
  assert.equal((await game.state()).state, 'menu');
});

step('the Fullscreen button makes the canvas 1600 x 1000 and F11 brings back 800 x 600: the menu centred each time', 30, async (t) => {
  await game.realWindow();
  await game.page.click('#fullscreen');
  await game.waitFor('q.fullscreen && q.canvas.width === 1600 && q.canvas.height === 1000', 10000);
  const large = menuProblems(await game.shot('large'));
  figure(t, `menu at 1600 x 1000: ${JSON.stringify(large.figures)}`);
  assert.deepEqual(large.problems, []);
  await game.page.keyboard.press('F11');
  await game.waitFor('!q.fullscreen && q.canvas.width === 800 && q.canvas.height === 600', 10000);
  assert.deepEqual(menuProblems(await game.shot('normal')).problems, []);
});

step('the pointer taken away in play pauses the game', 30, async () => {
  await game.page.keyboard.press('Enter');
  await game.waitFor('q.state === "paused"');
  await game.waitForLine(/^creating mesh vbo$/);
  await game.page.keyboard.press('Escape');
  await game.waitFor('q.state === "playing"');
  if (!(await game.state()).pointerLocked)
    await game.clickAt(400, 300);
  await game.waitFor('q.pointerLocked', 5000);
  // What the browser does when the player presses Escape or switches away: the page learns
  // it has lost the pointer.
  await game.page.evaluate(() => document.exitPointerLock());
  await game.waitFor('q.state === "paused" && !q.pointerLocked', 5000);
});

step('a page hidden in play pauses the game, which answers again once shown', 30, async (t) => {
  // Hiding a page also takes the pointer from it, which pauses by itself; here the pointer is
  // refused, so that the pause can only come from the page being hidden.
  await game.page.evaluate(() => {
    document.getElementById('canvas').requestPointerLock = () => Promise.reject(new Error('refused by the test'));
  });
  // An Escape right after the pointer was lost is taken as the one that freed it; a player's
  // next Escape comes later.
  await sleep(500);
  await game.page.keyboard.press('Escape');
  await game.waitFor('q.state === "playing"');
  await sleep(300);
  assert.equal((await game.state()).pointerLocked, false);
  const other = await session.browser.newPage();
  await other.bringToFront();
  await sleep(500);
  const hidden = await game.page.evaluate(() => document.visibilityState);
  await other.close();
  await game.page.bringToFront();
  figure(t, `while another tab was in front the page was ${hidden}`);
  assert.equal(hidden, 'hidden');
  await game.waitFor('q.state === "paused"', 5000);
  await game.page.evaluate(() => delete document.getElementById('canvas').requestPointerLock);
  await game.page.keyboard.press('Escape');
  await game.waitFor('q.state === "playing"');
});

step('nothing crashed', 10, async () => {
  const state = await game.state();
  assert.equal(state.stopped, false);
  assert.equal(state.error, null);
  assert.deepEqual(game.failures(), []);
});
