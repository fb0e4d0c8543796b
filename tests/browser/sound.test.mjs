// The page's sound: after the click on the start the audio output runs, a frozen world is
// silent, and the spoken answer to Ctrl+A reaches the output as sample frames with sound in
// them, as many as one of the "ok" recordings holds; with the game's frames held back while
// it plays the answer has no gap, and an audio context at 48000 Hz plays it at its pitch.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {after, before, test} from 'node:test';

import {sleep} from './lib/browser.mjs';
import {figure, LIMIT, openSession, story, SOURCE_DIR} from './lib/session.mjs';

const step = story(test);
let session, game, game48;

before(async () => {
  session = await openSession('sound');
  game = await session.open();
}, LIMIT);
after(async () => session?.close(game, game48), LIMIT);

const ANSWERS = ['roger0', 'okay0', 'okay1'];

// The left channel of one of the game's 16-bit WAV files, in -1..1.
function recording(name) {
  const wav = fs.readFileSync(path.join(SOURCE_DIR, 'resources/sounds', `${name}.wav`));
  const channels = wav.readUInt16LE(22);
  const left = [];
  for (let at = 44; at + 2 * channels <= wav.length; at += 2 * channels)
    left.push(wav.readInt16LE(at) / 32768);
  return {rate: wav.readUInt32LE(24), left};
}

// Of a sound's samples: the frames from the first sounding one to the last, the longest run of
// silent frames between them, and the upward zero crossings a second (a measure of pitch).
function shape(samples, rate) {
  const first = samples.findIndex((v) => v !== 0);
  let last = samples.length - 1;
  while (last > first && samples[last] === 0)
    last--;
  let gap = 0, run = 0, crossings = 0;
  for (let i = first; i <= last; i++) {
    run = samples[i] === 0 ? run + 1 : 0;
    gap = Math.max(gap, run);
    if (i > first && samples[i - 1] < 0 && samples[i] >= 0)
      crossings++;
  }
  const span = first < 0 ? 0 : last - first + 1;
  return {span, gap, crossingsPerSecond: span ? crossings * rate / span : 0};
}

// From now on the page keeps what its audio output plays (the left channel; both are the same
// for the spoken answers), in window.captured.
const captureOutput = (g) => g.page.evaluate(() => {
  const audio = window.Module.quorvaleAudio;
  const play = audio.node.onaudioprocess;
  window.captured = {rate: audio.context.sampleRate, left: []};
  audio.node.onaudioprocess = (event) => {
    play(event);
    const left = event.outputBuffer.getChannelData(0);
    for (let i = 0; i < left.length; i++)
      window.captured.left.push(left[i]);
  };
});
const captured = (g) => g.page.evaluate(() => window.captured);

async function pressCtrlA(g) {
  await g.page.keyboard.down('Control');
  await g.page.keyboard.press('KeyA');
  await g.page.keyboard.up('Control');
}

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
  // Firefox resumes its context only once its sound server has answered, which a busy machine
  // can take a while over; the clock is timed from then.
  await game.waitFor('window.Module.quorvaleAudio?.context.state === "running"', 10000);
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
  const lengths = ANSWERS.map(soundingFrames);
  figure(t, `sample frames with sound after Ctrl+A: ${heard}; in the recordings: ${lengths.join(', ')}`);
  assert.ok(heard > 0, 'the answer to Ctrl+A never reached the audio output');
  assert.ok(heard >= 0.9 * Math.min(...lengths) && heard <= 1.02 * Math.max(...lengths),
            `${heard} frames with sound is not one answer (${lengths.join(', ')} in the recordings)`);
  assert.deepEqual(game.failures(), []);
});

step('the game\'s frames held back for 300 ms while the answer plays leave no gap in it', 30, async (t) => {
  await captureOutput(game);
  await pressCtrlA(game);
  // As soon as the answer sounds, the page's animation frames (which draw the game) are held.
  await game.page.waitForFunction(() => window.captured.left.some((v) => v !== 0), {polling: 5, timeout: 5000});
  await game.page.evaluate(() => new Promise((resolve) => {
    const request = window.requestAnimationFrame;
    const held = [];
    window.requestAnimationFrame = (callback) => { held.push(callback); return 0; };
    setTimeout(() => {
      window.requestAnimationFrame = request;
      held.forEach((callback) => request(callback));
      resolve();
    }, 300);
  }));
  await sleep(1500);
  const out = await captured(game);
  const heard = shape(out.left, out.rate);
  const longest = Math.max(...ANSWERS.map((n) => shape(recording(n).left, 44100).gap));
  figure(t, `output at ${out.rate} Hz: the answer spans ${heard.span} frames, its longest silence ` +
            `${heard.gap} frames (in the recordings at most ${longest})`);
  assert.ok(heard.span > 0, 'the answer never reached the output');
  assert.ok(heard.gap <= longest + 32, `a silence of ${heard.gap} frames cut the answer`);
  assert.deepEqual(game.failures(), []);
});

step('an audio context at 48000 Hz plays the answer at its length and pitch', 60, async (t) => {
  game48 = await session.open({
    name: 'sound-48000',
    beforeGoto: (page) => page.evaluateOnNewDocument(() => {
      // A browser that makes its audio context at its own rate, whatever the page asks for.
      const Real = window.AudioContext;
      window.AudioContext = function () { return new Real({sampleRate: 48000}); };
    }),
  });
  await game48.startPlaying();
  await game48.page.keyboard.press('Enter');
  await game48.waitFor('q.state === "paused"');
  await game48.waitForLine(/^creating mesh vbo$/);
  await game48.waitForLine(/^Audio output at 48000 Hz/);
  await sleep(500);
  await captureOutput(game48);
  await pressCtrlA(game48);
  await sleep(2000);
  const out = await captured(game48);
  assert.equal(out.rate, 48000);
  const heard = shape(out.left, out.rate);
  // Played at its pitch, a recording lasts as long at any rate and crosses zero as often a
  // second. Interpolation and the mixer's rounding lose a few crossings close to zero (under
  // 3% here); a recording played at the wrong rate is 8.8% off in both.
  const expected = ANSWERS.map((n) => {
    const r = recording(n);
    const s = shape(r.left, r.rate);
    return {name: n, span: Math.round(s.span * out.rate / r.rate), crossingsPerSecond: s.crossingsPerSecond};
  });
  const match = expected.find((e) => Math.abs(heard.span - e.span) <= 0.005 * e.span &&
                                     Math.abs(heard.crossingsPerSecond / e.crossingsPerSecond - 1) <= 0.05);
  figure(t, `heard at 48000 Hz: ${heard.span} frames, ${heard.crossingsPerSecond.toFixed(0)} crossings a second; ` +
            `expected one of ${expected.map((e) => `${e.name} ${e.span} frames, ${e.crossingsPerSecond.toFixed(0)}/s`).join('; ')}`);
  assert.ok(match, 'the answer was not one of the recordings at its own length and pitch');
  assert.deepEqual(game48.failures(), []);
});
