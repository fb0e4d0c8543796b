// The page when the graphics change under the game: the browser takes the WebGL context away
// and gives it back (the page says so, the game pauses, then shows the very view it had and
// plays on), or never gives it back (the message stays and offers a reload); and the copy of a
// still frame's terrain is never shown once what it was drawn from changed (a new game of
// another second under the same camera, a canvas of another size).
import assert from 'node:assert/strict';
import {after, before, test} from 'node:test';

import {KEEPS_TERRAIN, sleep} from './lib/browser.mjs';
import {changedPixels} from './lib/image.mjs';
import {figure, LIMIT, openSession, story} from './lib/session.mjs';

const SECOND = 1709294400;
const OTHER_SECOND = SECOND + 301;

const step = story(test);
let session, game;

before(async () => {
  session = await openSession('graphics');
  game = await session.open({frozenSecond: SECOND});
  await game.startPlaying();
}, LIMIT);
after(async () => session?.close(game), LIMIT);

const loseContext = () => game.page.evaluate(() => {
  window.loseContextExtension ||= Module.ctx.getExtension('WEBGL_lose_context');
  window.loseContextExtension.loseContext();
});
const restoreContext = () => game.page.evaluate(() => window.loseContextExtension.restoreContext());
const graphicsMessage = () => game.page.evaluate(() => {
  const box = document.getElementById('graphics');
  return box.hidden ? null : {text: box.textContent.trim(), reload: !document.getElementById('reload').hidden};
});

// The picture drawn from the kept terrain and the one drawn in full, of the same still frame.
async function keptAndFull(label) {
  // A paused view is drawn only when something happens; a press of Shift draws it again
  // without changing it, and the copy is made from the second of two equal frames.
  const redraw = async () => {
    await game.page.keyboard.press('ShiftLeft');
    await game.frames(1);
  };
  for (let i = 0; i < 3; i++)
    await redraw();
  const kept0 = (await game.state()).backdropFrames;
  await redraw();
  const kept = await game.shot(`${label}-kept`);
  const kept1 = await game.page.evaluate(() => {
    window.quorvale.keepBackdrop = false;
    return window.quorvale.backdropFrames;
  });
  await redraw();
  await game.frames(2);
  const full = await game.shot(`${label}-full`);
  await game.page.evaluate(() => { window.quorvale.keepBackdrop = true; });
  if (KEEPS_TERRAIN)
    assert.ok(kept1 > kept0, `${label}: the terrain was drawn in full, not put back (${kept0} -> ${kept1})`);
  else
    assert.equal(kept1, 0, `${label}: the terrain was put back from a copy where that is not exact`);
  return {kept, full};
}

let before_loss;

step('a new game under the pause menu, its view kept for later', 60, async () => {
  await game.page.keyboard.press('Enter');
  await game.waitFor('q.state === "paused"', 60000);
  await game.waitForLine(/^creating mesh vbo$/);
  await sleep(500);
  before_loss = await game.shot('before-loss');
});

step('a lost context: the page says so and the game draws nothing', 20, async () => {
  const lines = game.lines.length;
  await loseContext();
  await game.waitFor('q.graphics === "lost"');
  const message = await graphicsMessage();
  assert.ok(message, 'no message over the canvas');
  assert.match(message.text, /graphics were reset; restoring/);
  assert.equal(message.reload, false);
  await sleep(500);
  // No frame draws, so none prints what it drew; nor does anything fail.
  assert.deepEqual(game.failures(), []);
  assert.ok(!game.lines.slice(lines).some((l) => /creating mesh vbo/.test(l.text)));
});

step('restored, the game shows the view it had, to the pixel', 30, async (t) => {
  const lines = game.lines.length;
  await restoreContext();
  await game.waitFor('q.graphics === "ok" && q.graphicsRestores === 1');
  assert.equal(await graphicsMessage(), null, 'the message stayed');
  await game.waitForLine(/^creating mesh vbo$/, {after: lines});
  await sleep(300);
  const after_restore = await game.shot('after-restore');
  const differ = changedPixels(before_loss, after_restore, 0);
  figure(t, `pixels that differ between the view before the loss and after the restore: ${differ}`);
  assert.equal(differ, 0);
  assert.equal((await game.state()).state, 'paused');
});

step('a loss in play pauses the game; restored, play goes on', 60, async () => {
  await game.page.keyboard.press('Escape');
  await game.waitFor('q.state === "playing"');
  await game.page.mouse.click(400, 300);
  await game.waitFor('q.pointerLocked', 20000);
  await loseContext();
  await game.waitFor('q.graphics === "lost" && q.state === "paused" && !q.pointerLocked');
  await restoreContext();
  await game.waitFor('q.graphics === "ok" && q.graphicsRestores === 2');
  await game.page.keyboard.press('Escape');
  await game.waitFor('q.state === "playing"');
  const a = await game.shot('play-before-w');
  await game.page.keyboard.down('KeyW');
  await sleep(700);
  await game.page.keyboard.up('KeyW');
  const b = await game.shot('play-after-w');
  assert.ok(changedPixels(a, b) > 0.2 * a.width * a.height, 'flying forward changed nothing');
  assert.deepEqual(game.failures(), []);
});

step('a context that does not come back: the message says so and offers a reload', 30, async () => {
  await loseContext();
  await game.waitFor('q.graphics === "lost"');
  await game.waitFor('q.graphics === "failed"', 10000);
  const message = await graphicsMessage();
  assert.match(message.text, /have not come back[^]*Reload the page/);
  assert.equal(message.reload, true);
  assert.equal((await game.state()).stopped, false);
  assert.deepEqual(game.failures(), []);
  // Back after all, the game goes on.
  await restoreContext();
  await game.waitFor('q.graphics === "ok" && q.graphicsRestores === 3');
  assert.equal(await graphicsMessage(), null);
});

step('a new game of another second under the same still camera never shows the old copy', 90, async (t) => {
  if ((await game.state()).state === 'playing') {
    await game.page.evaluate(() => document.exitPointerLock());
    await game.waitFor('q.state === "paused"');
  }
  // "Quit" of the pause menu (in the middle) to the main menu, then its "Play" with the clock
  // at another second.
  await game.clickAt(400, 300);
  await game.waitFor('q.state === "menu"');
  await game.page.evaluate((s) => { window.__frozenSecond = s; }, OTHER_SECOND);
  const lines = game.lines.length;
  await game.clickAt(450, 262);
  await game.waitFor('q.state === "paused"', 60000);
  await game.waitForLine(/^creating mesh vbo$/, {after: lines});
  const {kept, full} = await keptAndFull('new-second');
  const differ = changedPixels(kept, full, 0);
  const fromOld = changedPixels(before_loss, full);
  figure(t, `pixels that differ: kept against full ${differ}; the first view of the old second against the new ${fromOld}`);
  assert.ok(fromOld > 0.2 * full.width * full.height, 'the two seconds show the same world');
  assert.equal(differ, 0);
});

step('a resize while the copy is held never shows the old copy', 60, async (t) => {
  await keptAndFull('before-resize');
  await game.setWindow(700, 560);
  await game.waitFor('q.canvas.width !== 800 && q.canvas.height !== 600', 10000);
  const {kept, full} = await keptAndFull('after-resize');
  const differ = changedPixels(kept, full, 0);
  figure(t, `canvas ${kept.width} x ${kept.height}: ${differ} pixels differ between kept and full`);
  assert.equal(differ, 0);
  await game.setWindow(1200, 800);
  await game.waitFor('q.canvas.width === 800 && q.canvas.height === 600', 10000);
  assert.deepEqual(game.failures(), []);
});
