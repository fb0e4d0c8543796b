// What every test file shares: the page served and one browser, steps that depend on the
// ones before them, and the figures kept for the record.
import fs from 'node:fs';
import path from 'node:path';

import {launch, Game, OUT_DIR, PAGE_DIR, SOURCE_DIR} from './browser.mjs';
import {serve} from './server.mjs';

export {SOURCE_DIR};

// The longest a test or a hook may take. Given in the tests rather than with node's
// --test-timeout, which Debian's node 18 does not have; a story's steps keep their own.
export const LIMIT = {timeout: 180000};

// Serves the page and launches a browser; `name` names the files kept in OUT_DIR.
export async function openSession(name, {serverOptions = {}, flags = []} = {}) {
  if (!fs.existsSync(path.join(PAGE_DIR, 'index.html')))
    throw new Error(`no built page in ${PAGE_DIR} (QUORVALE_PAGE)`);
  const server = await serve(PAGE_DIR, serverOptions);
  const browser = await launch(name, flags);
  return {
    server,
    browser,
    open: (options = {}) => Game.open(browser, server.url, options.name || name, options),
    async close(...games) {
      for (const game of games)
        game?.saveConsole();
      await browser.close();
      await server.close();
    },
  };
}

// Steps of one story (menu, play, pause ...) run in order, each within `seconds`; once one
// fails, the later ones are skipped rather than failing for the same cause.
export function story(test) {
  let broken = null;
  return (name, seconds, fn) => {
    test(name, async (t) => {
      if (broken) {
        t.skip(`an earlier step failed: ${broken}`);
        return;
      }
      let timer;
      const late = new Promise((resolve, reject) => {
        timer = setTimeout(() => reject(new Error(`not done within ${seconds} s`)), seconds * 1000);
      });
      try {
        await Promise.race([fn(t), late]);
      } catch (e) {
        broken = name;
        throw e;
      } finally {
        clearTimeout(timer);
      }
    });
  };
}

// A figure for the record: shown with the test's result and kept in OUT_DIR/figures.txt.
export function figure(t, text) {
  t.diagnostic(text);
  fs.appendFileSync(path.join(OUT_DIR, 'figures.txt'), `${t.name}: ${text}\n`);
}
