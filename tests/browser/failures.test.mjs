// A page that cannot start says why instead of staying blank: when its data cannot be
// downloaded, and in a browser without WebGL.
import assert from 'node:assert/strict';
import path from 'node:path';
import {test} from 'node:test';

import {OUT_DIR} from './lib/browser.mjs';
import {figure, openSession} from './lib/session.mjs';

const shown = (game) => game.page.evaluate(() => {
  const message = document.getElementById('message');
  return {message: message.hidden ? null : message.textContent,
          loading: !document.getElementById('loading').hidden,
          start: !document.getElementById('start').hidden,
          state: window.quorvale.state, error: window.quorvale.error};
});

test('a data download answered with 404 shows its message', {timeout: 40000}, async (t) => {
  const session = await openSession('failures-404');
  let game;
  try {
    game = await session.open({
      beforeGoto: async (page) => {
        await page.setRequestInterception(true);
        page.on('request', (request) => {
          if (new URL(request.url()).pathname.endsWith('.data'))
            request.respond({status: 404, contentType: 'text/plain', body: 'not found'});
          else
            request.continue();
        });
      },
    });
    await game.waitFor('q.state === "error"', 20000);
    const page = await shown(game);
    await game.page.screenshot({path: path.join(OUT_DIR, 'failures-404.png')});
    figure(t, `message: ${JSON.stringify(page.message)}`);
    assert.ok(page.message, 'no message shown');
    assert.match(page.message, /download/i);
    assert.equal(page.loading, false, 'the loading overlay still shows over the message');
    assert.equal(page.start, false, 'the start is offered for a game that cannot start');
  } finally {
    await session.close(game);
  }
});

test('a browser without WebGL shows a message', {timeout: 40000}, async (t) => {
  const session = await openSession('failures-webgl', {flags: ['--disable-webgl']});
  let game;
  try {
    game = await session.open();
    await game.waitFor('q.state === "error"', 20000);
    const page = await shown(game);
    await game.page.screenshot({path: path.join(OUT_DIR, 'failures-webgl.png')});
    figure(t, `message: ${JSON.stringify(page.message)}`);
    assert.ok(page.message, 'no message shown');
    assert.match(page.message, /WebGL/);
    assert.equal(page.loading, false);
    assert.equal(page.start, false);
  } finally {
    await session.close(game);
  }
});
