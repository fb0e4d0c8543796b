// What the page tests add to the shared server and browser (session.mjs): pages opened
// straight in puppeteer with their console kept, game frames the test can hold back, the data
// package with a damaged image, and waits that say where the page was.
import fs from 'node:fs';
import path from 'node:path';

import {PAGE_DIR} from './browser.mjs';

// quorvale.data with one byte of voxel.png's header chunk changed, so its checksum fails.
function damagedData() {
  const data = Buffer.from(fs.readFileSync(path.join(PAGE_DIR, 'quorvale.data')));
  const js = fs.readFileSync(path.join(PAGE_DIR, 'quorvale.js'), 'utf8');
  const entry = /"filename":\s*"\/resources\/images\/voxel\.png",\s*"start":\s*(\d+)/.exec(js);
  if (!entry)
    throw new Error('voxel.png is not in the data package listing of quorvale.js');
  data[Number(entry[1]) + 20] ^= 0xff;
  return data;
}

// A beforeGoto for open(): the page downloads the data package with a damaged voxel.png.
export async function withDamagedImage(page) {
  const body = damagedData();
  await page.setRequestInterception(true);
  page.on('request', request => {
    if (new URL(request.url()).pathname.endsWith('.data'))
      request.respond({status: 200, contentType: 'application/octet-stream', body});
    else
      request.continue();
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
// game frames the test can hold back (holdableFrames); beforeGoto(page) may intercept requests.
export async function open(browser, url, {viewport = {width: 1280, height: 800}, beforeGoto} = {}) {
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(holdableFrames);
  await page.setViewport(viewport);
  if (beforeGoto)
    await beforeGoto(page);
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
