// Colour measurements of screenshots, the same ones the desktop end-to-end tests make
// (tests/e2e/common.bash and play_common.bash), and the comparison of two pictures.
import fs from 'node:fs';
import {PNG} from 'pngjs';

// An image is {width, height, data} with RGBA bytes, as pngjs gives it.
export function readPng(file) {
  return PNG.sync.read(fs.readFileSync(file));
}

export function writePng(file, image) {
  fs.writeFileSync(file, PNG.sync.write(image));
}

export function decodePng(buffer) {
  return PNG.sync.read(buffer);
}

// [r, g, b] at (x, y); null outside the image.
export function pixel(image, x, y) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height)
    return null;
  const i = (y * image.width + x) * 4;
  return [image.data[i], image.data[i + 1], image.data[i + 2]];
}

// Calls fn(r, g, b, x, y) for each pixel of the box (clipped to the image).
function eachPixel(image, box, fn) {
  const x0 = Math.max(0, box.x), y0 = Math.max(0, box.y);
  const x1 = Math.min(image.width, box.x + box.w), y1 = Math.min(image.height, box.y + box.h);
  for (let y = y0; y < y1; y++) {
    for (let x = x0; x < x1; x++) {
      const i = (y * image.width + x) * 4;
      fn(image.data[i], image.data[i + 1], image.data[i + 2], x, y);
    }
  }
}

const whole = (image) => ({x: 0, y: 0, w: image.width, h: image.height});

// Pixels in the box whose channels are all within `tol` of rgb.
export function countColor(image, box, rgb, tol) {
  let n = 0;
  eachPixel(image, box, (r, g, b) => {
    if (Math.abs(r - rgb[0]) <= tol && Math.abs(g - rgb[1]) <= tol && Math.abs(b - rgb[2]) <= tol)
      n++;
  });
  return n;
}

// {n, x, y}: the number and mean position of the pixels within `tol` of rgb.
export function centroid(image, rgb, tol, box = whole(image)) {
  let n = 0, sx = 0, sy = 0;
  eachPixel(image, box, (r, g, b, x, y) => {
    if (Math.abs(r - rgb[0]) <= tol && Math.abs(g - rgb[1]) <= tol && Math.abs(b - rgb[2]) <= tol) {
      n++;
      sx += x;
      sy += y;
    }
  });
  return n ? {n, x: sx / n, y: sy / n} : {n: 0, x: 0, y: 0};
}

// {grass, water, tree}: pixels that look like each kind of terrain.
export function terrainCounts(image) {
  let grass = 0, water = 0, tree = 0;
  eachPixel(image, whole(image), (r, g, b) => {
    if (g > r + 30 && r > b)
      grass++;
    if (b > g + 40 && b > 100)
      water++;
    if (b >= r + 3 && g > b + 30 && g > 50)
      tree++;
  });
  return {grass, water, tree};
}

// The sprite colours of the parties as drawn: full orange and its green counterpart under
// the sprite tint.
export const PARTY0_RGB = [200, 100, 0];
export const PARTY1_RGB = [100, 200, 0];
export const WHITE = [255, 255, 255];

// The main menu drawn centred in the image: the white caption 120 pixels above the centre,
// the selected "Play" button bright and "Quit" dimmed below it, white text on both. Returns
// the list of what is wrong (empty when the menu is there) and the figures measured.
export function menuProblems(image) {
  const cx = Math.floor(image.width / 2), cy = Math.floor(image.height / 2);
  const problems = [];
  const figures = {};
  // The caption: 8 characters 30 pixels wide, 48 high, centred on (cx, cy - 120).
  figures.caption = countColor(image, {x: cx - 120, y: cy - 144, w: 240, h: 48}, WHITE, 8);
  if (figures.caption <= 1500)
    problems.push(`caption not drawn at the centre (${figures.caption} white pixels)`);
  figures.leftOfCaption = countColor(image, {x: cx - 190, y: cy - 144, w: 60, h: 48}, WHITE, 8);
  figures.rightOfCaption = countColor(image, {x: cx + 130, y: cy - 144, w: 60, h: 48}, WHITE, 8);
  if (figures.leftOfCaption || figures.rightOfCaption)
    problems.push(`white pixels beside the caption (${figures.leftOfCaption} left, ` +
                  `${figures.rightOfCaption} right): the menu is not centred`);
  // Buttons of 192 x 24 pixels: Play centred 40 above the centre, Quit at the centre. Their
  // plates are blue, brighter on the selected one.
  figures.playBlue = (pixel(image, cx - 80, cy - 46) || [0, 0, 0])[2];
  figures.quitBlue = (pixel(image, cx - 80, cy - 6) || [0, 0, 0])[2];
  if (!(figures.playBlue > 90))
    problems.push(`the selected Play button is not drawn (blue ${figures.playBlue})`);
  if (!(figures.quitBlue > 15 && figures.quitBlue < 70))
    problems.push(`the Quit button is not drawn dimmed (blue ${figures.quitBlue})`);
  figures.playText = countColor(image, {x: cx - 30, y: cy - 48, w: 60, h: 16}, WHITE, 8);
  figures.quitText = countColor(image, {x: cx - 30, y: cy - 8, w: 60, h: 16}, WHITE, 8);
  if (figures.playText <= 40)
    problems.push(`no text on the Play button (${figures.playText} white pixels)`);
  if (figures.quitText <= 40)
    problems.push(`no text on the Quit button (${figures.quitText} white pixels)`);
  return {problems, figures};
}

// The crosshair: white pixels on the horizontal stroke through the centre.
export function crosshairPixels(image) {
  const cx = Math.floor(image.width / 2), cy = Math.floor(image.height / 2);
  return countColor(image, {x: cx - 10, y: cy - 2, w: 21, h: 3}, WHITE, 40);
}

// Pixels of `a` and `b` (same size) whose channels differ by more than `threshold` anywhere.
export function changedPixels(a, b, threshold = 24) {
  let n = 0;
  for (let i = 0; i < a.data.length; i += 4) {
    if (Math.abs(a.data[i] - b.data[i]) > threshold || Math.abs(a.data[i + 1] - b.data[i + 1]) > threshold ||
        Math.abs(a.data[i + 2] - b.data[i + 2]) > threshold)
      n++;
  }
  return n;
}

// How far apart two pictures of the same size are: the mean absolute difference of the
// colour channels (0..255), the share of pixels with a channel more than `threshold` apart,
// and the same mean over 8 x 8 blocks averaged first (which forgives edges that two
// rasterizers place a pixel apart). `diff` is a picture of the differences, amplified.
export function compareImages(a, b, threshold = 48) {
  if (a.width !== b.width || a.height !== b.height)
    throw new Error(`sizes differ: ${a.width}x${a.height} and ${b.width}x${b.height}`);
  const {width, height} = a;
  const diff = {width, height, data: Buffer.alloc(width * height * 4)};
  let sum = 0, far = 0;
  for (let i = 0; i < a.data.length; i += 4) {
    let worst = 0;
    for (let c = 0; c < 3; c++) {
      const d = Math.abs(a.data[i + c] - b.data[i + c]);
      sum += d;
      worst = Math.max(worst, d);
      diff.data[i + c] = Math.min(255, d * 4);
    }
    diff.data[i + 3] = 255;
    if (worst > threshold)
      far++;
  }
  const B = 8;
  let blockSum = 0, blocks = 0;
  for (let by = 0; by + B <= height; by += B) {
    for (let bx = 0; bx + B <= width; bx += B) {
      for (let c = 0; c < 3; c++) {
        let sa = 0, sb = 0;
        for (let y = by; y < by + B; y++) {
          for (let x = bx; x < bx + B; x++) {
            const i = (y * width + x) * 4 + c;
            sa += a.data[i];
            sb += b.data[i];
          }
        }
        blockSum += Math.abs(sa - sb) / (B * B);
      }
      blocks++;
    }
  }
  return {
    meanDiff: sum / (width * height * 3),
    farShare: far / (width * height),
    blockMeanDiff: blockSum / (blocks * 3),
    diff,
  };
}

// The game's own pointer drawn with its tip at (x, y): a black outline at the tip, the white
// arrow body below it and nothing white beside it. Returns what is wrong, or an empty list.
export function pointerProblems(image, x, y) {
  const problems = [];
  const tip = pixel(image, x, y);
  if (!tip || tip.some((c) => c > 8))
    problems.push(`no pointer outline at the pointer tip (${tip})`);
  const body = countColor(image, {x: x + 1, y: y + 2, w: 8, h: 10}, WHITE, 8);
  if (body <= 15)
    problems.push(`no white pointer body below the tip (${body} white pixels)`);
  const beside = countColor(image, {x: x + 20, y: y + 20, w: 16, h: 16}, WHITE, 8);
  if (beside)
    problems.push(`white pixels beside the pointer (${beside})`);
  return problems;
}

// The main menu's buttons centred in a canvas too small for the caption: the selected Play
// plate bright 40 pixels above the centre, the Quit plate dimmed at the centre with its white
// text, and the black gap between them 20 pixels above the centre.
export function smallMenuProblems(image) {
  const cx = Math.floor(image.width / 2), cy = Math.floor(image.height / 2);
  const problems = [];
  const play = (pixel(image, cx + 40, cy - 40) || [0, 0, 0])[2];
  const quit = (pixel(image, cx + 40, cy) || [0, 0, 0])[2];
  const gap = pixel(image, cx + 40, cy - 20) || [255, 255, 255];
  const text = countColor(image, {x: cx - 30, y: cy - 8, w: 60, h: 16}, WHITE, 8);
  if (!(play > 90))
    problems.push(`no bright Play plate 40 pixels above the centre (blue ${play})`);
  if (!(quit > 15 && quit < 70))
    problems.push(`no dimmed Quit plate at the centre (blue ${quit})`);
  if (gap.some((c) => c > 8))
    problems.push(`no gap between the buttons 20 pixels above the centre (${gap})`);
  if (text <= 40)
    problems.push(`no text on the Quit button (${text} white pixels)`);
  return problems;
}
