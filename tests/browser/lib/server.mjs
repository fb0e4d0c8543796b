// A static server for the built page on 127.0.0.1, as any plain web server would serve it,
// that counts the bytes it sent per file and can slow the data package down so that the
// page's download progress can be watched.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.css': 'text/css',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.png': 'image/png',
};

// Serves `root`. options.slowData: milliseconds over which every .data response is spread.
// Returns {url, sent, reset(), close()}; sent maps a path to the bytes sent for it since the
// last reset().
export async function serve(root, options = {}) {
  root = path.resolve(root);
  const sent = new Map();
  const server = http.createServer((req, res) => {
    let urlPath = decodeURIComponent(new URL(req.url, 'http://localhost').pathname);
    if (urlPath.endsWith('/'))
      urlPath += 'index.html';
    const file = path.join(root, path.normalize(urlPath));
    if (!file.startsWith(root + path.sep)) {
      res.writeHead(403).end();
      return;
    }
    fs.readFile(file, (err, body) => {
      if (err) {
        res.writeHead(404, {'Content-Type': 'text/plain'}).end('not found');
        return;
      }
      sent.set(urlPath, (sent.get(urlPath) || 0) + body.length);
      res.writeHead(200, {
        'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
        'Content-Length': body.length,
        'Cache-Control': 'no-store',
      });
      if (!(options.slowData > 0 && file.endsWith('.data'))) {
        res.end(body);
        return;
      }
      const pieces = 20;
      const step = Math.ceil(body.length / pieces);
      let at = 0;
      const next = () => {
        if (res.destroyed)
          return;
        res.write(body.subarray(at, at + step));
        at += step;
        if (at >= body.length)
          res.end();
        else
          setTimeout(next, options.slowData / pieces);
      };
      next();
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    sent,
    reset() { sent.clear(); },
    close() {
      server.closeAllConnections();
      return new Promise((resolve) => server.close(resolve));
    },
  };
}
