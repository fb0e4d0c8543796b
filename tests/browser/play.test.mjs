// A game in the page: Return builds a world shown under the pause menu, Escape starts play
// with the crosshair, a click takes the pointer so that the mouse turns the camera, a unit
// under the crosshair is selected with a click, a click on the ground sends it there, and W
// flies the camera forward; and a still view, whose terrain the drawing layer puts back from a
// copy of the frame before, is the very picture drawn in full, wherever the camera is.
import assert from 'node:assert/strict';
import {after, before, test} from 'node:test';

import {KEEPS_TERRAIN, sleep} from './lib/browser.mjs';
import {PARTY0_RGB, PARTY1_RGB, WHITE, centroid, changedPixels, countColor, crosshairPixels,
        terrainCounts} from './lib/image.mjs';
import {figure, LIMIT, openSession, story} from './lib/session.mjs';

const step = story(test);
let session, game;

before(async () => {
  session = await openSession('play');
  game = await session.open({frozenSecond: 1709294400});
  await game.startPlaying();
}, LIMIT);
after(async () => session?.close(game), LIMIT);

// The marker of the unit under the crosshair is drawn in pure green; a selected unit's in white.
const POINTED_RGB = [0, 255, 0];
const CENTRE_BOX = {x: 340, y: 240, w: 120, h: 120};

// Mouse pixels per screen pixel near the centre at 800 x 600: the camera turns 1.5 / 600 rad a
// mouse pixel, and the 60-degree view spans tan(30 deg) / 300 per screen pixel.
const MOUSE_PER_PIXEL = Math.tan(Math.PI / 6) / 300 / (1.5 / 600);

// The mean position of the `rgb` pixels within 30 pixels of the one nearest the centre.
function nearestGroup(image, rgb) {
  let best = null;
  for (let y = 0; y < image.height; y++) {
    for (let x = 0; x < image.width; x++) {
      const i = (y * image.width + x) * 4;
      if (Math.abs(image.data[i] - rgb[0]) <= 3 && Math.abs(image.data[i + 1] - rgb[1]) <= 3 &&
          Math.abs(image.data[i + 2] - rgb[2]) <= 3) {
        const d = Math.hypot(x - 400, y - 300);
        if (!best || d < best.d)
          best = {x, y, d};
      }
    }
  }
  if (!best)
    return null;
  return centroid(image, rgb, 3, {x: best.x - 30, y: best.y - 30, w: 61, h: 61});
}

step('Return builds a world: the generation lines, then the world under the pause menu', 30, async (t) => {
  await game.page.keyboard.press('Enter');
  await game.waitFor('q.state === "paused"');
  await game.waitForLine(/^creating mesh vbo$/);
  const output = game.output().join('|');
  assert.match(output, /Generating map\.\.\.\|Done in \d+ ms\.\|Generating mesh\.\.\.\|Done in \d+ ms\.\|/);
  const pause = await game.shot('pause');
  assert.ok(countColor(pause, {x: 370, y: 252, w: 60, h: 16}, WHITE, 8) > 40, 'no Continue button over the world');
  const terrain = terrainCounts(pause);
  figure(t, `terrain under the pause menu: ${JSON.stringify(terrain)}`);
  assert.ok(terrain.grass > 20000, `the world is not drawn under the pause menu (${terrain.grass} grass pixels)`);
});

step('Escape starts play: the crosshair over the terrain and both parties', 30, async (t) => {
  await game.page.keyboard.press('Escape');
  await game.waitFor('q.state === "playing"');
  await sleep(300);
  const play = await game.shot('play');
  const crosshair = crosshairPixels(play);
  const terrain = terrainCounts(play);
  const party0 = centroid(play, PARTY0_RGB, 3).n, party1 = centroid(play, PARTY1_RGB, 3).n;
  figure(t, `crosshair ${crosshair}, terrain ${JSON.stringify(terrain)}, party pixels ${party0} and ${party1}`);
  assert.ok(crosshair >= 15, `no crosshair in play (${crosshair} pixels)`);
  assert.ok(terrain.grass > 20000, `too little grass (${terrain.grass})`);
  assert.ok(terrain.water > 1000, `too little water (${terrain.water})`);
  assert.ok(terrain.tree > 100, `no trees (${terrain.tree})`);
  assert.ok(party0 > 100, `party 0 is not to be seen (${party0} pixels)`);
  assert.ok(party1 > 100, `party 1 is not to be seen (${party1} pixels)`);
});

step('a click on the canvas takes the pointer; the mouse turns the camera onto a unit, whose marker shows', 40, async (t) => {
  // The key that started play may already have let the game take the pointer.
  if (!(await game.state()).pointerLocked)
    await game.clickAt(400, 300);
  await game.waitFor('q.pointerLocked', 5000);
  assert.equal((await game.state()).state, 'playing', 'the click that takes the pointer left play');
  let image, target;
  for (let i = 0; i < 6; i++) {
    image = await game.shot(`aim${i}`);
    target = nearestGroup(image, PARTY0_RGB);
    assert.ok(target, 'no unit of party 0 in view');
    if (countColor(image, CENTRE_BOX, POINTED_RGB, 60) > 10)
      break;
    await game.moveMouseBy(Math.round((target.x - 400) * MOUSE_PER_PIXEL),
                           Math.round((target.y - 300) * MOUSE_PER_PIXEL));
    await sleep(150);
  }
  const pointed = countColor(image, CENTRE_BOX, POINTED_RGB, 60);
  figure(t, `unit at (${target.x.toFixed(0)}, ${target.y.toFixed(0)}) after aiming; pointed-marker pixels ${pointed}`);
  assert.ok(pointed > 10, 'the camera did not come to point at a unit: no pointed marker at the crosshair');
});

step('a left click selects the unit under the crosshair: its marker turns white', 20, async (t) => {
  const before = await game.shot('pointed');
  await game.page.mouse.down();
  await sleep(50);
  await game.page.mouse.up();
  await sleep(300);
  const selected = await game.shot('selected');
  const white0 = countColor(before, CENTRE_BOX, WHITE, 8), white1 = countColor(selected, CENTRE_BOX, WHITE, 8);
  const green1 = countColor(selected, CENTRE_BOX, POINTED_RGB, 60);
  figure(t, `white pixels at the crosshair ${white0} -> ${white1}, pointed marker left ${green1}`);
  assert.ok(white1 > white0 + 20, `no selection marker after the click (${white0} -> ${white1} white pixels)`);
  assert.ok(green1 < 5, `the unit still shows as pointed, not selected (${green1} green pixels)`);
});

step('with the unit selected, a click on the ground prints "Go to (x,y,z)"', 20, async (t) => {
  // Turn away from the units onto open ground, farther ahead.
  let image;
  for (let i = 0; i < 4; i++) {
    await game.moveMouseBy(90, -30);
    await sleep(200);
    image = await game.shot(`ground${i}`);
    if (countColor(image, CENTRE_BOX, POINTED_RGB, 60) + countColor(image, CENTRE_BOX, [255, 0, 0], 60) === 0)
      break;
  }
  const from = game.lines.length;
  await game.page.mouse.down();
  await sleep(50);
  await game.page.mouse.up();
  const line = await game.waitForLine(/^Go to \(\d+,\d+,\d+\)$/, {after: from, timeout: 5000});
  figure(t, line.text);
});

step('W held flies forward: the view changes far more than the world alone changes it', 20, async (t) => {
  const a = await game.shot('still0');
  await sleep(600);
  const b = await game.shot('still1');
  await game.page.keyboard.down('KeyW');
  await sleep(600);
  await game.page.keyboard.up('KeyW');
  const c = await game.shot('forward');
  const still = changedPixels(a, b), moved = changedPixels(b, c);
  figure(t, `pixels changed: ${still} standing still, ${moved} with W held`);
  assert.ok(moved > 0.1 * c.width * c.height, `W did not move the camera (${moved} pixels changed)`);
  assert.ok(moved > 3 * still, `W changed the view no more than standing still (${still} vs ${moved})`);
  assert.equal((await game.state()).state, 'playing');
  assert.deepEqual(game.failures(), []);
});

// Where the camera goes from where W left it, one view after the other: keys held, for so
// many milliseconds. High above the map; inside the ground, and below the map looking up at
// the water, where faces are seen from behind.
// (The space bar by its character: Firefox's WebDriver BiDi knows no key named "Space".)
const STILL_VIEWS = [['ahead', []], ['above the map', [[' ', 1500]]], ['in the ground', [['KeyE', 2900]]],
                     ['below the map', [[' ', 700], ['KeyS', 3000]]]];

step('a still view drawn from the kept terrain is, pixel for pixel, the view drawn in full', 120, async (t) => {
  const counts = [];
  for (const [name, moves] of STILL_VIEWS) {
    if (moves.length) {
      await game.page.keyboard.press('Escape');
      await game.waitFor('q.state === "playing"');
    }
    for (const [key, ms] of moves) {
      await game.page.keyboard.down(key);
      await sleep(ms);
      await game.page.keyboard.up(key);
    }
    // Paused, the world stands still: only the way of drawing differs between the two pictures.
    if ((await game.state()).pointerLocked)
      await game.page.evaluate(() => document.exitPointerLock());
    else
      await game.page.keyboard.press('Escape');
    await game.waitFor('q.state === "paused"');
    await game.frames(3);
    // A paused view is drawn only when something happens; a press of Shift draws it again
    // without changing it.
    const redraw = () => game.page.keyboard.press('ShiftLeft');
    const kept0 = (await game.state()).backdropFrames;
    await redraw();
    const kept = await game.shot(`kept-${counts.length}`);
    // One script of the page's reads the count and forbids the copy, between two frames.
    const kept1 = await game.page.evaluate(() => {
      window.quorvale.keepBackdrop = false;
      return window.quorvale.backdropFrames;
    });
    await redraw();
    await game.frames(2);
    const full = await game.shot(`full-${counts.length}`);
    const kept2 = (await game.state()).backdropFrames;
    await game.page.evaluate(() => { window.quorvale.keepBackdrop = true; });
    if (KEEPS_TERRAIN)
      assert.ok(kept1 > kept0, `${name}: the terrain was drawn in full, not put back (${kept0} -> ${kept1})`);
    else
      assert.equal(kept1, 0, `${name}: the terrain was put back from a copy where that is not exact`);
    assert.equal(kept2, kept1, `${name}: the terrain was put back although the page forbade it`);
    const differ = changedPixels(kept, full, 0);
    counts.push(`${name} ${differ}`);
    assert.equal(differ, 0, `${name}: ${differ} pixels differ between the kept and the full drawing`);
  }
  figure(t, `pixels that differ, per view: ${counts.join(', ')}`);
  assert.deepEqual(game.failures(), []);
});
