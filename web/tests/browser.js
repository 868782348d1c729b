// Headless Chromium as every page test starts it: Debian's build, a fresh
// profile of its own, and none of the background connections a closed
// network refuses. Also the site over http, for what file:// is refused (the
// File System Access API), and a folder copied into the page's
// origin-private file system, whose handles are real folder handles.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

export function launchChromium() {
  return puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      `--user-data-dir=${fs.mkdtempSync(path.join(os.tmpdir(), 'timbrex-chromium-'))}`,
    ],
  });
}

// Clicks `selector` as a user does: brought into view first, and clicked
// once it stays where it is. Cards are drawn as they come near the view,
// which moves what lies below them for a frame or two; a click aimed at a
// moving target lands on whatever took its place.
export async function clickSettled(page, selector) {
  await page.$eval(selector, (e) => e.scrollIntoView({ block: 'center' }));
  await page.waitForFunction(
    (s) =>
      new Promise((resolve) => {
        const top = () => document.querySelector(s).getBoundingClientRect().top;
        const first = top();
        requestAnimationFrame(() => requestAnimationFrame(() => resolve(top() === first)));
      }),
    { timeout: 10000, polling: 50 },
    selector,
  );
  await page.click(selector);
}

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };

// Serves `site` over http from 127.0.0.1, a secure context as the
// File System Access API and the origin-private file system need (file://
// is refused them), and the files of the folder `tree`, when given, under
// /tree/. Resolves to {url, close()}.
export async function serveSite(site, tree = null) {
  const server = http.createServer((request, response) => {
    const url = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    // The site has no icon: an empty answer, not a 404 in the console.
    if (url === '/favicon.ico') {
      response.writeHead(204).end();
      return;
    }
    const [root, rest] = url.startsWith('/tree/') && tree ? [tree, url.slice(6)] : [site, url.slice(1)];
    const file = path.resolve(root, rest || 'index.html');
    if (!file.startsWith(path.resolve(root) + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}

// The paths of the files below `folder`, "/" between their parts.
export function filesBelow(folder) {
  const paths = [];
  const walk = (dir) => {
    for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
      const at = path.join(dir, entry.name);
      if (entry.isDirectory()) walk(at);
      else if (entry.isFile()) paths.push(path.relative(folder, at).split(path.sep).join('/'));
    }
  };
  walk(folder);
  return paths;
}

// Copies the tree served under /tree/ (its files' `paths`) into the
// origin-private file system of `page` (opened from serveSite's url) as the
// folder `name`, replacing what was there, a few files at a time.
export async function copyIntoOpfs(page, name, paths) {
  await page.evaluate(
    async (name, paths) => {
      const root = await navigator.storage.getDirectory();
      await root.removeEntry(name, { recursive: true }).catch(() => {});
      const top = await root.getDirectoryHandle(name, { create: true });
      const copy = async (at) => {
        const parts = at.split('/');
        let folder = top;
        for (const part of parts.slice(0, -1)) folder = await folder.getDirectoryHandle(part, { create: true });
        const response = await fetch(`/tree/${parts.map(encodeURIComponent).join('/')}`);
        if (!response.ok) throw new Error(`${at}: ${response.status}`);
        const file = await folder.getFileHandle(parts[parts.length - 1], { create: true });
        const writable = await file.createWritable();
        await writable.write(await response.arrayBuffer());
        await writable.close();
      };
      for (let i = 0; i < paths.length; i += 8) await Promise.all(paths.slice(i, i + 8).map(copy));
    },
    name,
    paths,
  );
}

// Makes the page's folder picker give the origin-private folder `name`
// (from copyIntoOpfs) as if the user had picked it, and count its calls
// in window.pickerCalls.
export async function pickFolderFromOpfs(page, name) {
  await page.evaluate((name) => {
    window.pickerCalls = 0;
    window.showDirectoryPicker = async () => {
      window.pickerCalls += 1;
      return (await navigator.storage.getDirectory()).getDirectoryHandle(name);
    };
  }, name);
}
