// The page loads with its progress bar while the data downloads, then the main menu appears
// on the canvas: the caption, "Play" selected and "Quit", the game's own pointer, and the
// arrow keys move the selection. An idle menu draws nothing and the canvas keeps its picture;
// a moving pointer gets a new frame every frame.
import assert from 'node:assert/strict';
import path from 'node:path';
import {after, before, test} from 'node:test';

import {OUT_DIR, sleep} from './lib/browser.mjs';
import {menuProblems, pointerProblems} from './lib/image.mjs';
import {figure, LIMIT, openSession, story} from './lib/session.mjs';

const step = story(test);
let session, game;

before(async () => {
  // The data package is spread over 2.5 s, so the progress bar has time to be seen.
  session = await openSession('menu', {serverOptions: {slowData: 2500}});
}, LIMIT);
after(async () => session?.close(game), LIMIT);

// Records what the loading overlay shows every 50 ms from the page's first script on.
const SAMPLE_LOADING = `(() => {
  window.__loading = [];
  const sample = () => {
    const loading = document.getElementById('loading'), progress = document.getElementById('progress');
    if (!loading || !progress)
      return;
    window.__loading.push({visible: !loading.hidden && loading.offsetParent !== null,
                           value: progress.value, status: document.getElementById('status').textContent,
                           ready: !!(window.quorvale && window.quorvale.ready)});
  };
  setInterval(sample, 50);
  document.addEventListener('DOMContentLoaded', sample);
})();`;

// Counts the WebGL calls that draw (clears and draws) and the pointer's movements, to tell the
// animation frames in which the game drew, and those in which the pointer moved, from the rest.
const COUNT_DRAWING = `(() => {
  window.__drawCalls = 0;
  window.__pointerMoves = 0;
  window.addEventListener('mousemove', () => window.__pointerMoves++, true);
  for (const type of [window.WebGLRenderingContext, window.WebGL2RenderingContext]) {
    if (!type)
      continue;
    for (const name of ['clear', 'drawArrays', 'drawElements']) {
      const call = type.prototype[name];
      type.prototype[name] = function (...args) {
        window.__drawCalls++;
        return call.apply(this, args);
      };
    }
  }
})();`;

// Over the next n animation frames, while during() runs: {frames, drawn, moved}, the frames in
// which the game made a drawing call and those in which the pointer moved.
// Counts n animation frames; with minMoved, goes on (up to ten times n) until the pointer has
// moved in that many, since a loaded machine delivers the test's pointer moves slowly.
async function drawnFrames(page, n, during = async () => {}, minMoved = 0) {
  let counted = false;
  const counting = page.evaluate((n, minMoved) => new Promise((resolve) => {
    let frames = 0, drawn = 0, moved = 0, calls = window.__drawCalls, moves = window.__pointerMoves;
    const step = () => {
      if (window.__drawCalls !== calls)
        drawn++;
      if (window.__pointerMoves !== moves)
        moved++;
      calls = window.__drawCalls;
      moves = window.__pointerMoves;
      if ((++frames >= n && moved >= minMoved) || frames >= 10 * n)
        resolve({frames, drawn, moved});
      else
        requestAnimationFrame(step);
    };
    requestAnimationFrame(step);
  }), n, minMoved).finally(() => { counted = true; });
  await during(() => counted);
  return counting;
}

step('the progress bar fills while the data downloads, then gives way to the start', 30, async (t) => {
  game = await session.open({beforeGoto: async (page) => {
    await page.evaluateOnNewDocument(SAMPLE_LOADING);
    await page.evaluateOnNewDocument(COUNT_DRAWING);
  }});
  // A picture of the page halfway through the download, for the record.
  await game.page.waitForFunction(() => document.getElementById('progress').value > 0.3, {timeout: 15000});
  await game.page.screenshot({path: path.join(OUT_DIR, 'menu-loading.png')});
  await game.waitFor('q.ready', 30000);
  await sleep(200);
  const samples = await game.page.evaluate(() => window.__loading);
  const downloading = samples.filter((s) => s.visible && !s.ready && s.value > 0 && s.value < 1);
  figure(t, `${samples.length} samples of the loading overlay, ${downloading.length} mid-download; ` +
            `statuses: ${[...new Set(samples.map((s) => s.status))].slice(0, 4).join(' | ')}`);
  assert.ok(downloading.length >= 5, 'the progress bar was never seen part-filled while the data downloaded');
  const values = samples.filter((s) => !s.ready).map((s) => s.value);
  assert.ok(values.every((v, i) => i === 0 || v >= values[i - 1]), `the progress went backwards: ${values}`);
  assert.ok(downloading.some((s) => /\d/.test(s.status)), 'the status never says how much is downloaded');
  const shown = await game.page.evaluate(() => ({
    loading: !document.getElementById('loading').hidden,
    start: !document.getElementById('start').hidden,
    message: !document.getElementById('message').hidden,
  }));
  assert.deepEqual(shown, {loading: false, start: true, message: false});
});

step('a click on the start shows the main menu, centred, with the game\'s pointer', 20, async (t) => {
  await game.startPlaying();
  const state = await game.state();
  assert.equal(state.state, 'menu');
  assert.deepEqual(state.canvas, {width: 800, height: 600});
  const menu = await game.shot('main');
  assert.equal(menu.width, 800);
  assert.equal(menu.height, 600);
  const {problems, figures} = menuProblems(menu);
  figure(t, `menu: ${JSON.stringify(figures)}`);
  assert.deepEqual(problems, []);
  assert.deepEqual(pointerProblems(menu, 20, 20), []);
});

step('Down selects Quit and Up selects Play again', 20, async () => {
  await game.page.keyboard.press('ArrowDown');
  const down = menuProblems(await game.shot('main-down')).figures;
  assert.ok(down.quitBlue > 90 && down.playBlue < 70,
            `Down did not move the selection to Quit (blue: Play ${down.playBlue}, Quit ${down.quitBlue})`);
  await game.page.keyboard.press('ArrowUp');
  assert.deepEqual(menuProblems(await game.shot('main-up')).problems, []);
  assert.deepEqual(game.failures(), []);
});

step('an idle menu draws nothing and keeps its picture; a moving pointer is drawn every frame', 30, async (t) => {
  await game.movePointer(20, 20);
  await sleep(300);
  const idle = await drawnFrames(game.page, 120);
  const picture = await game.shot('idle');
  // The pointer crosses the canvas in small steps, as fast as the browser takes them.
  const box = await game.canvasBox();
  const moving = await drawnFrames(game.page, 60, async (counted) => {
    for (let i = 0; i < 400 || !counted(); i++)
      await game.page.mouse.move(box.x + 40 + (i * 2) % 700, box.y + 400 + (i % 2) * 3);
  }, 20);
  await game.movePointer(20, 20);
  await sleep(300);
  const rest = await drawnFrames(game.page, 60);
  figure(t, `frames drawn: idle ${idle.drawn} of ${idle.frames}; pointer moving ${moving.drawn} of ` +
            `${moving.frames}, the pointer moved in ${moving.moved}; after it stopped ${rest.drawn} ` +
            `of ${rest.frames}`);
  assert.ok(idle.drawn <= 3, `${idle.drawn} of ${idle.frames} frames drawn at an idle menu`);
  assert.deepEqual(menuProblems(picture).problems, [], 'the canvas lost the menu while nothing was drawn');
  assert.deepEqual(pointerProblems(picture, 20, 20), []);
  assert.ok(moving.moved >= 20, `the pointer moved in only ${moving.moved} of ${moving.frames} frames`);
  // A movement that comes after the game's part of an animation frame is drawn in the next.
  assert.ok(moving.drawn >= moving.moved - 2,
            `only ${moving.drawn} frames drawn of ${moving.moved} in which the pointer moved`);
  assert.ok(rest.drawn <= 3, `${rest.drawn} of ${rest.frames} frames drawn after the pointer stopped`);
  assert.deepEqual(game.failures(), []);
});
