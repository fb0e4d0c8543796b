// The page's sound: after the click on the start the audio output runs, a frozen world is
// silent, and the spoken answer to Ctrl+A reaches the output as sample frames with sound in
// them, as many as one of the "ok" recordings holds.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {after, before, test} from 'node:test';

import {sleep} from './lib/browser.mjs';
import {figure, LIMIT, openSession, story, SOURCE_DIR} from './lib/session.mjs';

const step = story(test);
let session, game;

before(async () => {
  session = await openSession('sound');
  game = await session.open();
}, LIMIT);
after(async () => session?.close(game), LIMIT);

// Frames with sound in them (any channel not zero) in one of the game's 16-bit WAV files.
function soundingFrames(name) {
  const wav = fs.readFileSync(path.join(SOURCE_DIR, 'resources/sounds', `${name}.wav`));
  const channels = wav.readUInt16LE(22);
  let n = 0;
  for (let at = 44; at + 2 * channels <= wav.length; at += 2 * channels) {
    let sounding = false;
    for (let c = 0; c < channels; c++)
      sounding ||= wav.readInt16LE(at + 2 * c) !== 0;
    if (sounding)
      n++;
  }
  return n;
}

const audio = () => game.page.evaluate(() => ({
  state: window.Module.quorvaleAudio?.context.state,
  time: window.Module.quorvaleAudio?.context.currentTime,
  frames: window.quorvale.audio.frames,
}));

step('after the click on the start the audio output runs', 30, async (t) => {
  await game.waitFor('q.ready', 30000);
  figure(t, `before the click: ${JSON.stringify(await audio())}`);
  await game.startPlaying();
  await sleep(300);
  const a = await audio();
  await sleep(1000);
  const b = await audio();
  figure(t, `after the click: ${JSON.stringify(a)}, a second later ${JSON.stringify(b)}`);
  assert.equal(b.state, 'running');
  assert.ok(b.time - a.time > 0.5, `the audio clock hardly moved (${a.time} -> ${b.time} s)`);
  assert.equal(b.frames, 0, 'the main menu made sound');
});

step('a frozen new world is silent, and Ctrl+A is answered by one spoken "ok"', 30, async (t) => {
  await game.page.keyboard.press('Enter');
  await game.waitFor('q.state === "paused"');
  await game.waitForLine(/^creating mesh vbo$/);
  await sleep(1000);
  const quiet = (await audio()).frames;
  assert.equal(quiet, 0, 'the world under the pause menu made sound');
  await game.page.keyboard.down('Control');
  await game.page.keyboard.press('KeyA');
  await game.page.keyboard.up('Control');
  await sleep(2000);  // the longest answer lasts about half a second
  const heard = (await audio()).frames - quiet;
  const lengths = ['roger0', 'okay0', 'okay1'].map(soundingFrames);
  figure(t, `sample frames with sound after Ctrl+A: ${heard}; in the recordings: ${lengths.join(', ')}`);
  assert.ok(heard > 0, 'the answer to Ctrl+A never reached the audio output');
  assert.ok(heard >= 0.9 * Math.min(...lengths) && heard <= 1.02 * Math.max(...lengths),
            `${heard} frames with sound is not one answer (${lengths.join(', ')} in the recordings)`);
  assert.deepEqual(game.failures(), []);
});
