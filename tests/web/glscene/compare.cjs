// node compare.cjs <output folder> [seconds]
// Serves the page built in the output folder, draws it in headless Chromium with SwiftShader,
// compares its pixels with the native.ppm Mesa drew and writes web.ppm and diff.ppm beside it
// (grey: differs a little, white: by more than 24 in a channel). Given seconds, it then runs the
// animated scene that long and prints the frame rates the page measured. Exit status 1 when the
// pictures differ by more than the tolerance below.
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

// SwiftShader and Mesa place triangle edges with different sub-pixel precision, so the minified
// terrain texture picks a neighbouring texel here and there; everything else matches exactly.
const MAX_DIFFERING = 0.05;  // share of pixels differing by more than 2 in a channel
const MAX_FAR = 0.025;       // share differing by more than 24

const CHROMIUM_FLAGS = ['--no-sandbox', '--use-gl=angle', '--use-angle=swiftshader',
  '--enable-unsafe-swiftshader', '--disable-gpu-sandbox', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--window-size=800,600'];
const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm'};

function serve(folder) {
  const server = http.createServer((request, response) => {
    const file = path.join(folder, path.basename(new URL(request.url, 'http://x').pathname));
    if (!fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream'});
    response.end(fs.readFileSync(file));
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

function readPpm(file) {
  const data = fs.readFileSync(file);
  const [magic, w, h, max] = data.toString('latin1', 0, 32).split(/\s+/);
  if (magic !== 'P6' || max !== '255')
    throw new Error(`${file} is not an 8-bit PPM`);
  return {w: +w, h: +h, rgb: data.subarray(data.length - w * h * 3)};
}

function writePpm(file, w, h, rgb) {
  fs.writeFileSync(file, Buffer.concat([Buffer.from(`P6\n${w} ${h}\n255\n`), rgb]));
}

async function withBrowser(fn) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'glscene-'));
  const browser = await puppeteer.launch({executablePath: '/usr/bin/chromium', headless: 'new',
                                          userDataDir: profile, args: CHROMIUM_FLAGS});
  try {
    return await fn(browser);
  } finally {
    await browser.close();
    fs.rmSync(profile, {recursive: true, force: true});
  }
}

async function openPage(browser, url, log) {
  const page = await browser.newPage();
  await page.setViewport({width: 800, height: 600});
  page.on('console', message => log(message.text()));
  page.on('pageerror', error => log(`page error: ${error.message}`));
  await page.goto(url);
  return page;
}

// The page's pixels, top row first, as RGB.
async function webPixels(browser, url, w, h) {
  const page = await openPage(browser, url, text => { if (!/^FPS/.test(text)) console.log(`page: ${text}`); });
  await page.waitForFunction('window.scenePixels !== undefined', {timeout: 60000});
  const rgba = Buffer.from(await page.evaluate(() => {
    const a = window.scenePixels;
    let s = '';
    for (let i = 0; i < a.length; i += 0x8000)
      s += String.fromCharCode.apply(null, a.subarray(i, i + 0x8000));
    return btoa(s);
  }), 'base64');
  await page.close();
  const rgb = Buffer.alloc(w * h * 3);
  for (let y = 0; y < h; y++)
    for (let x = 0; x < w; x++)
      for (let c = 0; c < 3; c++)
        rgb[(y * w + x) * 3 + c] = rgba[((h - 1 - y) * w + x) * 4 + c];
  return rgb;
}

async function frameRates(browser, url, seconds) {
  const rates = [];
  const page = await openPage(browser, url, text => {
    const m = /^FPS: ([0-9.]+)/.exec(text);
    if (m)
      rates.push(+m[1]);
  });
  await new Promise(resolve => setTimeout(resolve, seconds * 1000));
  await page.close();
  return rates.slice(2);  // the first seconds include the start
}

async function main() {
  const [folder, seconds] = process.argv.slice(2);
  const native = readPpm(path.join(folder, 'native.ppm'));
  const server = await serve(folder);
  const base = `http://127.0.0.1:${server.address().port}/page.html`;
  let ok = true;
  try {
    await withBrowser(async browser => {
      const web = await webPixels(browser, base, native.w, native.h);
      writePpm(path.join(folder, 'web.ppm'), native.w, native.h, web);
      const diff = Buffer.alloc(web.length);
      let differing = 0, far = 0, worst = 0;
      for (let i = 0; i < native.w * native.h; i++) {
        let d = 0;
        for (let c = 0; c < 3; c++)
          d = Math.max(d, Math.abs(web[i * 3 + c] - native.rgb[i * 3 + c]));
        worst = Math.max(worst, d);
        differing += d > 2;
        far += d > 24;
        diff.fill(d > 24 ? 255 : d > 2 ? 96 : 0, i * 3, i * 3 + 3);
      }
      writePpm(path.join(folder, 'diff.ppm'), native.w, native.h, diff);
      const n = native.w * native.h;
      console.log(`pixels differing by more than 2: ${(100 * differing / n).toFixed(2)}% ` +
                  `(at most ${100 * MAX_DIFFERING}%), by more than 24: ${(100 * far / n).toFixed(2)}% ` +
                  `(at most ${100 * MAX_FAR}%); largest difference ${worst}`);
      ok = differing <= MAX_DIFFERING * n && far <= MAX_FAR * n;
      if (seconds) {
        const rates = (await frameRates(browser, `${base}?animate`, +seconds)).sort((a, b) => a - b);
        console.log(`frames per second over ${rates.length} s: median ${rates[rates.length >> 1]}, ` +
                    `lowest ${rates[0]}, highest ${rates[rates.length - 1]}`);
      }
    });
  } finally {
    server.close();
  }
  console.log(ok ? 'PASS' : 'FAIL: the browser draws differently from Mesa');
  process.exitCode = ok ? 0 : 1;
}

main().catch(error => {
  console.error(error);
  process.exitCode = 2;
});
