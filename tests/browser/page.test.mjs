// The browser page in headless Chromium: start, keys, canvas size, play and pause, the game's
// end and a damaged data file. Run by run.sh with the others.
import assert from 'node:assert/strict';
import {after, before, describe, test} from 'node:test';
import {open, state, until, withDamagedImage} from './lib/page_harness.mjs';
import {LIMIT, openSession} from './lib/session.mjs';

let session, server, browser;
before(async () => {
  session = await openSession('page');
  ({server, browser} = session);
}, LIMIT);
after(async () => session?.close(), LIMIT);

const ready = page => until(page, () => window.quorvale.ready || window.quorvale.stopped);
const inState = (page, name, timeout) => until(page, s => window.quorvale.state === s, timeout, name);
const shown = (page, id) => page.$eval('#' + id, e => !e.hidden);

describe('the page', () => {
  test('opens on the main menu behind "click to play", its output on the console and in the log', LIMIT, async () => {
    const page = await open(browser, server.url);
    await ready(page);
    const s = await state(page);
    assert.equal(s.state, 'menu');
    assert.equal(s.started, false);
    assert.deepEqual(s.canvas, {width: 800, height: 600});
    assert.ok(s.readyMs > 0 && s.readyMs < 20000, `ready after ${s.readyMs} ms`);
    assert.ok(await shown(page, 'start'));
    assert.equal(await shown(page, 'loading'), false);
    assert.equal(await page.$eval('#progress', e => e.value), 1);
    // The first key starts the game and is not the game's: Escape would quit.
    await page.keyboard.press('Escape');
    await until(page, () => window.quorvale.started);
    assert.equal(await shown(page, 'start'), false);
    assert.equal((await state(page)).state, 'menu');

    await page.keyboard.press('Enter');
    await inState(page, 'paused', 60000);
    await until(page, () => /Done in \d+ ms\.\n.*Done in \d+ ms\./s.test(document.getElementById('log').textContent));
    assert.ok(page.lines.includes('log: Generating map...'), page.lines.join('\n'));
    assert.deepEqual(page.lines.filter(l => /^(error|pageerror)/.test(l) && !/WARNING: using emscripten GL/.test(l)), []);
    await page.close();
  });

  test('keeps the keys the game uses from the browser and leaves it the others', LIMIT, async () => {
    // Registered before the page's own listeners; the outcome is read once dispatch is over.
    const page = await browser.newPage();
    await page.evaluateOnNewDocument(() => {
      window.prevented = {};
      window.addEventListener('keydown', e => {
        setTimeout(() => { window.prevented[e.key] = e.defaultPrevented; });
      }, true);
    });
    await page.setViewport({width: 1280, height: 800});
    await page.goto(server.url);
    await ready(page);
    await page.click('#start');
    await page.keyboard.down('Control');
    await page.keyboard.press('a');
    await page.keyboard.up('Control');
    for (const key of ['F1', 'F11', 'ArrowDown', 'q', 'F5'])
      await page.keyboard.press(key);
    await until(page, () => 'F5' in window.prevented);
    const prevented = await page.evaluate(() => window.prevented);
    assert.equal(await page.evaluate(() => String(window.getSelection())), '', 'Ctrl+A selected the page');
    assert.deepEqual(prevented, {Control: true, a: true, F1: true, F11: true, ArrowDown: true, q: false, F5: false});
    await page.close();
  });

  test('keeps the canvas within the window and follows fullscreen', LIMIT, async () => {
    const page = await open(browser, server.url);
    await ready(page);
    // Browsers grant fullscreen only inside the event that asked for it: each switch notes the
    // event being handled when it was made.
    await page.evaluate(() => {
      window.fullscreenCalls = [];
      for (const [proto, name] of [[Element.prototype, 'requestFullscreen'], [Document.prototype, 'exitFullscreen']]) {
        const real = proto[name];
        proto[name] = function (...args) {
          window.fullscreenCalls.push(`${name} in ${window.event ? window.event.type : 'no event'}`);
          return real.apply(this, args);
        };
      }
    });
    await page.setViewport({width: 500, height: 300});
    await until(page, () => window.quorvale.canvas.width < 500);
    let s = await state(page);
    const size = await page.$eval('#canvas', c => [c.width, c.height, c.clientWidth, c.clientHeight]);
    assert.deepEqual(size, [s.canvas.width, s.canvas.height, s.canvas.width, s.canvas.height]);
    assert.ok(s.canvas.height < 300);

    await page.setViewport({width: 40, height: 40});
    await until(page, () => window.quorvale.canvas.height === 1);
    await page.setViewport({width: 1280, height: 800});
    await until(page, () => window.quorvale.canvas.width === 800 && window.quorvale.canvas.height === 600);

    // Fullscreen covers the browser's window: the emulated 1280 x 800 in Chromium, the real
    // window on the X server in Firefox.
    const coversWindow = () => window.quorvale.fullscreen && window.quorvale.canvas.width === window.innerWidth;
    await page.click('#fullscreen');
    await until(page, coversWindow);
    s = await state(page);
    assert.deepEqual(s.canvas, await page.evaluate(() => ({width: window.innerWidth, height: window.innerHeight})));
    await page.click('#start');
    await page.keyboard.press('F11');
    await until(page, () => !window.quorvale.fullscreen && window.quorvale.canvas.width === 800);
    await page.keyboard.down('Alt');
    await page.keyboard.press('Enter');
    await page.keyboard.up('Alt');
    await until(page, coversWindow);
    await page.keyboard.press('F11');
    await until(page, () => !window.quorvale.fullscreen && window.quorvale.canvas.width === 800);
    assert.deepEqual(await page.evaluate(() => window.fullscreenCalls),
                     ['requestFullscreen in click', 'exitFullscreen in keydown', 'requestFullscreen in keydown',
                      'exitFullscreen in keydown']);
    const s2 = await state(page);
    assert.equal(s2.stopped, false);
    assert.equal(s2.state, 'menu', 'Alt+Return is not the menu\'s Return');
    await page.close();
  });

  test('quits from the main menu with a message', LIMIT, async () => {
    const page = await open(browser, server.url);
    await ready(page);
    await page.click('#start');
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('ArrowUp');
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Enter');
    await until(page, () => window.quorvale.stopped);
    const s = await state(page);
    assert.equal(s.state, 'ended');
    assert.equal(s.exitStatus, 0);
    assert.match(await page.$eval('#message', e => e.textContent), /Quorvale has ended/);
    await page.close();
  });
});

describe('play', () => {
  // Generous waits: a loaded machine renders the world in software.
  test('holds the pointer in play and pauses when the browser frees it or hides the page', LIMIT, async () => {
    const page = await open(browser, server.url);
    await ready(page);
    await page.click('#start');
    await page.keyboard.press('Enter');
    await inState(page, 'paused', 60000);
    await page.keyboard.press('Enter');
    await inState(page, 'playing', 120000);
    // A click on the canvas takes the pointer if the key press could not.
    await page.mouse.click(400, 300);
    await until(page, () => window.quorvale.pointerLocked, 120000);
    assert.equal((await state(page)).state, 'playing');
    // Firefox resumes its audio context once its sound server answers, which takes a while on a
    // busy machine.
    await until(page, () => window.quorvale.audio.state === 'running', 10000);
    assert.equal((await state(page)).audio.state, 'running');

    // The browser freeing the pointer (its own Escape) pauses the game, after what the player
    // did before: here a click in play and the loss reach the same frame, and the click stays
    // a click in play rather than one on the pause menu's "Quit" under the centred pointer.
    await page.evaluate(() => { window.holdFrames = true; });
    await page.mouse.click(400, 300);
    await page.evaluate(() => document.exitPointerLock());
    await until(page, () => !Module.quorvaleInput.locked, 120000);
    await page.evaluate(() => window.releaseFrames());
    await until(page, () => window.quorvale.state !== 'playing', 120000);
    await page.evaluate(() => new Promise(resolve => setTimeout(resolve, 300)));
    assert.equal((await state(page)).state, 'paused');
    // Escape continues (as on the desktop, the pointer put in the middle hovers "Quit"); it is
    // no user activation, so the click takes the pointer. The page counts an Escape within
    // 250 ms of losing the pointer as the same press, so this one comes later.
    await new Promise(resolve => setTimeout(resolve, 500));
    await page.keyboard.press('Escape');
    await inState(page, 'playing', 120000);
    await page.mouse.click(400, 300);
    await until(page, () => window.quorvale.pointerLocked, 120000);

    await page.evaluate(() => {
      Object.defineProperty(document, 'hidden', {value: true, configurable: true});
      document.dispatchEvent(new Event('visibilitychange'));
      Object.defineProperty(document, 'hidden', {value: false, configurable: true});
    });
    await inState(page, 'paused', 120000);
    await until(page, () => !window.quorvale.pointerLocked, 120000);
    await page.close();
  });
});

describe('random input', () => {
  // Every key the game reads, clicks, drags and wheel turns at random places, including tiny
  // and fullscreen canvases: the game keeps running or quits as the player asked, never fails.
  test('no sequence stops the game with an error', LIMIT, async () => {
    const page = await open(browser, server.url);
    await ready(page);
    await page.click('#start');
    // A window is resized out of fullscreen, as a player would have to: Firefox's automation
    // waits for a fullscreen page to take the new size, which it never does.
    const resize = async size => {
      await page.evaluate(() => document.fullscreenElement && document.exitFullscreen());
      await until(page, () => !document.fullscreenElement);
      await page.setViewport(size);
    };
    let seed = 12345;
    const rand = n => { seed = (seed * 1103515245 + 12345) % 2147483648; return seed % n; };
    const keys = ['w', 'a', 's', 'd', 'e', 'i', ' ', 'Enter', 'ArrowUp', 'ArrowDown', 'ArrowLeft',
                  'F1', 'Shift', 'Control', 'Alt', 'F11', 'q', 'Escape'];
    for (let i = 0; i < 300 && !(await state(page)).stopped; i++) {
      const x = rand(820), y = 40 + rand(620);
      switch (rand(6)) {
      case 0: await page.keyboard.press(keys[rand(keys.length - 1)]); break;  // Escape below
      case 1: await page.mouse.move(x, y, {steps: 1 + rand(3)}); break;
      case 2: await page.mouse.click(x, y, {button: rand(3) ? 'left' : 'right'}); break;
      case 3: await page.mouse.down(); await page.mouse.move(x, y); await page.mouse.up(); break;
      case 4: await page.mouse.wheel({deltaY: rand(2) ? 120 : -120}); break;
      case 5:
        if (rand(20) === 0)
          await resize(rand(2) ? {width: 30, height: 60} : {width: 1280, height: 800});
        else if (rand(30) === 0)
          await page.keyboard.press('Escape');
        break;
      }
    }
    await resize({width: 1280, height: 800});
    await new Promise(resolve => setTimeout(resolve, 2000));
    const s = await state(page);
    assert.ok(!s.stopped || (s.state === 'ended' && s.exitStatus === 0), JSON.stringify(s));
    assert.deepEqual(page.lines.filter(l => /^pageerror|Aborted|RuntimeError/.test(l)), []);
    await page.close();
  });
});

describe('failures', () => {
  test('a damaged image stops the game with the desktop messages and status', LIMIT, async () => {
    const page = await open(browser, server.url, {beforeGoto: withDamagedImage});
    await until(page, () => window.quorvale.stopped);
    const s = await state(page);
    assert.equal(s.exitStatus, 255);
    assert.equal(s.state, 'error');
    const errors = page.lines.filter(l => l.startsWith('error: ') && !/WARNING|deprecated/.test(l));
    assert.deepEqual(errors, ['error: libpng error: IHDR: CRC error', 'error: pngmisc_load_image failed',
                              'error: Could not load resources/images/voxel.png',
                              'error: Could not load main voxel texture', 'error: Error occurred.']);
    assert.match(await page.$eval('#message', e => e.textContent), /exit status 255[^]*Could not load main voxel texture/);
    await page.close();
  });
});
