// Headless Chromium with software WebGL, and the game's page opened in it: its console lines,
// its state (window.quorvale), screenshots of the canvas, and input as a player gives it.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import puppeteer from 'puppeteer-core';

import {decodePng} from './image.mjs';

export const SOURCE_DIR = path.resolve(process.env.QUORVALE_SOURCE ||
                                       path.join(path.dirname(fileURLToPath(import.meta.url)), '../../..'));
export const PAGE_DIR = path.resolve(process.env.QUORVALE_PAGE || path.join(SOURCE_DIR, 'build-web'));
export const OUT_DIR = path.resolve(process.env.QUORVALE_BROWSER_OUT || path.join(SOURCE_DIR, 'build-browser/out'));
fs.mkdirSync(OUT_DIR, {recursive: true});

// The engine the tests drive: 'chromium' (headless, WebGL in SwiftShader) or 'firefox'
// (Debian's firefox-esr with a window on an X server, WebGL in Mesa's llvmpipe: headless
// Firefox has no WebGL), both through puppeteer-core.
export const ENGINE = process.env.QUORVALE_ENGINE || 'chromium';
// The drawing layer puts a still frame's terrain back from a copy only with SwiftShader, where
// it is exact and pays off; Firefox's llvmpipe draws every frame in full.
export const KEEPS_TERRAIN = ENGINE === 'chromium';
const CHROMIUM = process.env.QUORVALE_CHROMIUM || '/usr/bin/chromium';
const FIREFOX = process.env.QUORVALE_FIREFOX || '/usr/bin/firefox-esr';
// Software WebGL without a GPU, and a browser that reaches for nothing on the network.
const FLAGS = ['--no-sandbox', '--use-gl=angle', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
               '--no-first-run', '--disable-background-networking', '--disable-component-update',
               '--disable-sync', '--enable-logging=stderr'];
// Firefox's counterparts: sound may start after a click, WebGL on a software renderer, and
// Chromium's "--disable-webgl" as a preference.
const FIREFOX_PREFS = {'media.autoplay.default': 0, 'webgl.force-enabled': true,
                       'browser.shell.checkDefaultBrowser': false, 'app.update.disabledForTesting': true};

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function launchEngine(profile, extraFlags) {
  if (ENGINE === 'firefox') {
    const prefs = {...FIREFOX_PREFS, ...(extraFlags.includes('--disable-webgl') ? {'webgl.disabled': true} : {})};
    return puppeteer.launch({browser: 'firefox', executablePath: FIREFOX, headless: false,
                             extraPrefsFirefox: prefs, userDataDir: profile, defaultViewport: null,
                             protocolTimeout: 60000});
  }
  return puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: [...FLAGS, ...extraFlags],
    userDataDir: profile,
    defaultViewport: null,  // each page sizes itself (Game.setWindow)
    protocolTimeout: 60000,
  });
}

// Launches the browser with extra flags; its own log goes to OUT_DIR/<name>.<engine>.log.
export async function launch(name, extraFlags = []) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `quorvale-${ENGINE}-`));
  const browser = await launchEngine(profile, extraFlags);
  const log = fs.createWriteStream(path.join(OUT_DIR, `${name}.${ENGINE}.log`));
  browser.process()?.stderr?.pipe(log);
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close().catch(() => {});
    fs.rmSync(profile, {recursive: true, force: true});
  };
  return browser;
}

// The page's clock for a game of a known second: time() reads `second` whatever the hour,
// as libfaketime gives the desktop game, while every other reading of the clock (the
// game's tick counter among them) runs on. The C library's time() is the only caller of
// Date.now() whose stack holds emscripten's _time. A test may set window.__frozenSecond to
// make the next game of another second.
function frozenTimeScript(second) {
  return `(() => {
    const realNow = Date.now.bind(Date);
    window.__frozenTimeReads = 0;
    window.__frozenSecond = ${second};
    Date.now = function () {
      if (/\\b_time\\b/.test(new Error().stack)) {
        window.__frozenTimeReads++;
        return window.__frozenSecond * 1000;
      }
      return realNow();
    };
  })();`;
}

// One open page of the game. Every console line is kept in `lines` with its time.
export class Game {
  constructor(page, name) {
    this.page = page;
    this.name = name;
    this.lines = [];      // {t, type, text}: the page's console
    this.errors = [];     // uncaught exceptions in the page
    this.navigatedAt = 0;
    this.mouse = {x: 0, y: 0};  // where the mouse is, page pixels
    this.cdp = null;            // the session that holds the window size
    page.on('console', (message) => {
      this.lines.push({t: Date.now(), type: message.type(), text: message.text()});
    });
    page.on('pageerror', (error) => this.errors.push(String(error.message || error)));
  }

  // Opens the page in a 1200 x 800 window. options: frozenSecond, beforeGoto(page) for
  // request interception.
  static async open(browser, url, name, options = {}) {
    const page = await browser.newPage();
    const game = new Game(page, name);
    await game.setWindow(1200, 800);
    if (options.frozenSecond !== undefined)
      await page.evaluateOnNewDocument(frozenTimeScript(options.frozenSecond));
    if (options.beforeGoto)
      await options.beforeGoto(page);
    game.navigatedAt = Date.now();
    await page.goto(url, {waitUntil: 'domcontentloaded'});
    return game;
  }

  // The game's own output lines (console.log), without the browser's warnings.
  output() {
    return this.lines.filter((l) => l.type === 'log').map((l) => l.text);
  }

  // Waits for a console line matching `re`, not counting the first `after` lines.
  async waitForLine(re, {timeout = 20000, after = 0} = {}) {
    const end = Date.now() + timeout;
    for (;;) {
      const found = this.lines.slice(after).find((l) => re.test(l.text));
      if (found)
        return found;
      if (Date.now() > end)
        throw new Error(`no console line matching ${re} within ${timeout} ms; last lines:\n` +
                        this.lines.slice(-15).map((l) => `  [${l.type}] ${l.text}`).join('\n'));
      await sleep(50);
    }
  }

  state() {
    return this.page.evaluate(() => JSON.parse(JSON.stringify(window.quorvale)));
  }

  // Waits until window.quorvale satisfies fn (evaluated in the page), e.g. 'q.state === "menu"'.
  async waitFor(condition, timeout = 20000) {
    try {
      await this.page.waitForFunction(`(q => ${condition})(window.quorvale || {})`,
                                      {timeout, polling: 50});
    } catch (e) {
      const where = await Promise.race([
        this.state().then(JSON.stringify, (error) => `no state: ${error.message}`),
        sleep(5000).then(() => 'the page did not answer within 5 s'),
      ]);
      throw new Error(`the page never reached ${condition}: ${where}`);
    }
  }

  // Waits for the first frame, then clicks "Click to play" as a player does.
  async startPlaying() {
    await this.waitFor('q.ready', 30000);
    await this.page.click('#start');
    await this.waitFor('q.started');
    // The pointer rests where it clicked; put it in a corner of the canvas, off the buttons.
    await this.movePointer(20, 20);
  }

  async canvasBox() {
    const box = await this.page.$eval('#canvas', (c) => {
      const r = c.getBoundingClientRect();
      return {x: r.left, y: r.top, w: r.width, h: r.height};
    });
    return box;
  }

  // Gives the page a window of width x height. The size is an override kept by one DevTools
  // session of the page's own, which must stay open for the override to last.
  async setWindow(width, height) {
    // Firefox speaks WebDriver BiDi, not DevTools: its viewport is the page's own setting.
    if (ENGINE === 'firefox')
      return this.page.setViewport({width, height});
    this.cdp ||= await this.page.createCDPSession();
    await this.cdp.send('Emulation.setDeviceMetricsOverride', {width, height, deviceScaleFactor: 1, mobile: false});
  }

  // Back to the browser's real window, which fullscreen needs: an emulated size is not what
  // a fullscreen page is shown at.
  async realWindow() {
    if (this.cdp)
      await this.cdp.send('Emulation.clearDeviceMetricsOverride');
  }

  // Moves the pointer to (x, y) in canvas pixels.
  async movePointer(x, y) {
    const box = await this.canvasBox();
    this.mouse = {x: box.x + x, y: box.y + y};
    await this.page.mouse.move(this.mouse.x, this.mouse.y);
  }

  // Moves the mouse by (dx, dy) pixels in a few steps, as a hand does: under pointer lock the
  // page sees only the movement.
  async moveMouseBy(dx, dy) {
    // Firefox under pointer lock reports each synthesized move as its distance from the middle
    // of the window (where it would warp a real pointer back to): one move there turns by (dx, dy).
    if (ENGINE === 'firefox' && await this.page.evaluate(() => !!document.pointerLockElement)) {
      const middle = await this.page.evaluate(() => [window.innerWidth / 2, window.innerHeight / 2]);
      this.mouse = {x: middle[0] + dx, y: middle[1] + dy};
      await this.page.mouse.move(this.mouse.x, this.mouse.y);
      return;
    }
    this.mouse = {x: this.mouse.x + dx, y: this.mouse.y + dy};
    await this.page.mouse.move(this.mouse.x, this.mouse.y, {steps: 4});
  }

  async clickAt(x, y) {
    await this.movePointer(x, y);
    await sleep(100);
    await this.page.mouse.down();
    await sleep(50);
    await this.page.mouse.up();
  }

  // Waits `frames` animation frames of the page, so that the game has drawn what it was told.
  async frames(frames = 3) {
    await this.page.evaluate((n) => new Promise((resolve) => {
      const step = () => (--n <= 0 ? resolve() : requestAnimationFrame(step));
      requestAnimationFrame(step);
    }), frames);
  }

  // A screenshot of the canvas alone, saved as OUT_DIR/<test name>-<label>.png and decoded.
  async shot(label) {
    await this.frames(2);
    const box = await this.canvasBox();
    const buffer = await this.page.screenshot({
      clip: {x: box.x, y: box.y, width: box.w, height: box.h},
      // Capturing beyond the viewport resizes the page for the capture, which a fullscreen
      // page would follow.
      captureBeyondViewport: false,
      path: path.join(OUT_DIR, `${this.name}-${label}.png`),
    });
    return decodePng(buffer);
  }

  // Console lines and page errors that say the game broke.
  failures() {
    return [...this.errors.map((e) => `page error: ${e}`),
            ...this.lines.filter((l) => /Error occurred|Aborted|RuntimeError|exception thrown/i.test(l.text))
              .map((l) => `console: ${l.text}`)];
  }

  // Keeps the page's console as OUT_DIR/<name>.console.txt.
  saveConsole() {
    fs.writeFileSync(path.join(OUT_DIR, `${this.name}.console.txt`),
                     this.lines.map((l) => `${new Date(l.t).toISOString()} [${l.type}] ${l.text}`).join('\n') + '\n');
  }
}
