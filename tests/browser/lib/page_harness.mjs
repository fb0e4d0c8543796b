// What the page tests share: a static server for build-web/ on the loopback address, with two
// damaged copies of it, and headless Chromium rendering WebGL in software.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import puppeteer from 'puppeteer-core';

export const buildDir = process.env.QUORVALE_PAGE ||
  path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../../build-web');

const types = {'.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
               '.wasm': 'application/wasm', '.data': 'application/octet-stream'};

// quorvale.data with one byte of voxel.png's header chunk changed, so its checksum fails.
function damagedData() {
  const data = Buffer.from(fs.readFileSync(path.join(buildDir, 'quorvale.data')));
  const js = fs.readFileSync(path.join(buildDir, 'quorvale.js'), 'utf8');
  const entry = /"filename":\s*"\/resources\/images\/voxel\.png",\s*"start":\s*(\d+)/.exec(js);
  if (!entry)
    throw new Error('voxel.png is not in the data package listing of quorvale.js');
  data[Number(entry[1]) + 20] ^= 0xff;
  return data;
}

// Serves build-web/ at /, the same without quorvale.data at /nodata/ and with a damaged image
// at /damaged/. Resolves to {url, close}.
export function serve() {
  const damaged = damagedData();
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://localhost');
    let variant = '';
    let name = url.pathname.replace(/^\//, '');
    const parts = /^(nodata|damaged)\/(.*)$/.exec(name);
    if (parts) {
      variant = parts[1];
      name = parts[2];
    }
    name = name || 'index.html';
    const file = path.join(buildDir, path.basename(name));
    let body = null;
    if (variant === 'damaged' && name === 'quorvale.data')
      body = damaged;
    else if (!(variant === 'nodata' && name === 'quorvale.data') && fs.existsSync(file))
      body = fs.readFileSync(file);
    if (!body) {
      response.writeHead(404, {'Content-Type': 'text/plain'});
      response.end('not found');
      return;
    }
    response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream'});
    response.end(body);
  });
  return new Promise(resolve => {
    server.listen(0, '127.0.0.1', () => {
      resolve({url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close()});
    });
  });
}

export function launch(extraArgs = []) {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: 'new',
    args: ['--no-sandbox', '--use-gl=angle', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
           '--no-first-run', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--mute-audio', ...extraArgs],
  });
}

// The game's frames (animation frames of the page's own scripts) held back while
// window.holdFrames is set; window.releaseFrames() lets them run again. Input and page events
// keep arriving in between, as on a machine too busy to draw.
function holdableFrames() {
  const request = window.requestAnimationFrame.bind(window);
  let held = [];
  window.holdFrames = false;
  window.requestAnimationFrame = callback => {
    if (!window.holdFrames)
      return request(callback);
    held.push(callback);
    return 0;
  };
  window.releaseFrames = () => {
    window.holdFrames = false;
    const callbacks = held;
    held = [];
    callbacks.forEach(request);
  };
}

// A new page of `browser` at `url` whose console lines are collected in page.lines, and whose
// game frames the test can hold back (holdableFrames).
export async function open(browser, url, viewport = {width: 1280, height: 800}) {
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(holdableFrames);
  await page.setViewport(viewport);
  page.lines = [];
  page.on('console', message => page.lines.push(`${message.type()}: ${message.text()}`));
  page.on('pageerror', error => page.lines.push(`pageerror: ${error.message}`));
  await page.goto(url);
  return page;
}

export const state = page => page.evaluate(() => JSON.parse(JSON.stringify(window.quorvale)));

// Waits until predicate(...args) holds in the page; a timeout names where the page was and
// its last console lines (a page too busy to answer says so instead).
export async function until(page, predicate, timeout = 30000, ...args) {
  try {
    return await page.waitForFunction(predicate, {timeout, polling: 50}, ...args);
  } catch (e) {
    const where = await Promise.race([
      state(page).then(JSON.stringify, error => `no state: ${error.message}`),
      new Promise(resolve => setTimeout(() => resolve('the page did not answer within 5 s'), 5000)),
    ]);
    const lines = (page.lines || []).slice(-10).map(l => `  ${l}`).join('\n');
    throw new Error(`${e.message} waiting for ${predicate} ${args.join(' ')}\npage: ${where}\n` +
                    `last console lines:\n${lines}`);
  }
}
