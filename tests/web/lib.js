// What the page's tests and benchmark share: a static server, headless Chromium, the page's window.glide
// driven from node, the Linux build's reference runs, and BMP pictures read and written.
'use strict';

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { spawnSync } = require('child_process');
const puppeteer = require('puppeteer-core');

const repo = path.resolve(__dirname, '../..');
const sceneFolders = ['dbIlm', 'Location', 'Horizon', 'Objects', 'Glader'];
const flightKeys = path.join(repo, 'tools/flight.keys');
const chromium = process.env.GLIDE_CHROMIUM || '/usr/bin/chromium';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.data': 'application/octet-stream',
};

// Serves `root` on 127.0.0.1 at a free port; resolves to { url, close }.
function serve(root) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(root, path.normalize(name === '/' ? '/index.html' : name));
    fs.stat(file, (error, stat) => {
      if (error || !stat.isFile() || !file.startsWith(root)) {
        response.writeHead(404).end('not found');
        return;
      }
      response.writeHead(200, {
        'Content-Type': types[path.extname(file)] || 'application/octet-stream', 'Content-Length': stat.size,
      });
      fs.createReadStream(file).pipe(response);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve({
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise((done) => server.close(done)),
  })));
}

// A new folder under the system's temporary folder, removed when the process ends.
const scratches = [];
function scratch(name) {
  scratches.push(fs.mkdtempSync(path.join(os.tmpdir(), `glide-web-${name}-`)));
  return scratches.at(-1);
}
process.on('exit', () => { for (const dir of scratches) fs.rmSync(dir, { recursive: true, force: true }); });

async function launch() {
  const profile = scratch('profile');
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    protocolTimeout: 600000,
    defaultViewport: { width: 1280, height: 720 },
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
      '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  return browser;
}

// Opens the page (query '?manual' for a script's page); console errors and uncaught errors are kept in `page.problems`.
async function open(browser, url, query = '', before = null) {
  const page = await browser.newPage();
  page.problems = [];
  page.on('pageerror', (error) => page.problems.push(String(error)));
  page.on('console', (message) => { if (message.type() === 'error') page.problems.push(message.text()); });
  if (before) await page.evaluateOnNewDocument(before);
  await page.goto(url + query);
  await page.bringToFront();
  return page;
}

// Run before the page's own script (open's `before`): keeps the last module instance the page made in
// window.glideInstance, each asked to record its frames' times (glideFrameMs).
function keepInstances() {
  let made;
  Object.defineProperty(window, 'createGlide', {
    configurable: true,
    get: () => made,
    set: (create) => {
      made = (overrides) => create({ ...overrides, glideFrameMs: [] })
        .then((instance) => (window.glideInstance = instance));
    },
  });
}

// Starts glide.run(args, files) without waiting for its end; exited(page) awaits the exit code. Files are
// strings, Buffers or null.
async function start(page, args, files = {}) {
  const sent = Object.entries(files)
    .map(([name, data]) => [name, Buffer.isBuffer(data) ? { base64: data.toString('base64') } : data]);
  await page.evaluate((args, sent) => {
    const files = Object.fromEntries(sent.map(([name, data]) => [name, data && data.base64 !== undefined ?
      Uint8Array.from(atob(data.base64), (c) => c.charCodeAt(0)) : data]));
    window.exitCode = glide.ready.then(() => glide.run(args, files));
  }, args, sent);
}
const exited = (page) => page.evaluate(() => window.exitCode);
async function run(page, args, files = {}) { await start(page, args, files); return exited(page); }

// Drops the folder on the page's element `selector`, as a file manager does.
async function drop(page, selector, folder) {
  const client = await page.createCDPSession();
  const box = await (await page.$(selector)).boundingBox();
  const data = { items: [], files: [folder], dragOperationsMask: 1 };
  for (const type of ['dragEnter', 'dragOver', 'drop']) {
    await client.send('Input.dispatchDragEvent', { type, x: box.x + box.width / 2, y: box.y + box.height / 2, data });
  }
  await client.detach();
}

// A file of the page's scene folder as a Buffer, or null.
async function readFile(page, name) {
  const text = await page.evaluate((name) => {
    const bytes = glide.readFile(name);
    if (!bytes) return null;
    let text = '';
    for (let at = 0; at < bytes.length; at += 0x8000) text += String.fromCharCode(...bytes.subarray(at, at + 0x8000));
    return btoa(text);
  }, name);
  return text === null ? null : Buffer.from(text, 'base64');
}

// The bundled scene's settings with another log level on the first line.
function settings(level) {
  const text = fs.readFileSync(path.join(repo, 'dbIlm/setting.ini'), 'utf8');
  return text.replace(/^\S+/, String(level));
}

function copyScene(from, to) {
  for (const folder of sceneFolders) fs.cpSync(path.join(from, folder), path.join(to, folder), { recursive: true });
}

// Runs the Linux build's glide under Xvfb in a copy of the bundled scene (or in `scene` itself), with
// tools/flight.keys beside it as flight.keys, and `files` written over it as run() writes them; its outputs:
// the exit code, stderr's lines, and from the scene folder log.txt, and overlay.txt and shot.bmp where the
// arguments ask for them.
function native(build, args, { level = null, scene = null, files = {} } = {}) {
  const dir = scene || scratch('native');
  if (!scene) copyScene(repo, dir);
  if (level !== null) fs.writeFileSync(path.join(dir, 'dbIlm/setting.ini'), settings(level));
  fs.copyFileSync(flightKeys, path.join(dir, 'flight.keys'));
  for (const [name, data] of Object.entries(files)) {
    if (data === null) fs.rmSync(path.join(dir, name), { force: true });
    else fs.writeFileSync(path.join(dir, name), data);
  }
  const inside = args.map((arg) => (/\.(keys|txt|bmp)$/.test(arg) ? path.join(dir, arg) : arg));
  const done = spawnSync('xvfb-run', ['-a', '-s', '-screen 0 1024x768x24 -noreset', path.join(build, 'glide'),
    '-C', dir, ...inside], { stdio: ['ignore', 'ignore', 'pipe'], encoding: 'latin1', timeout: 300000 });
  const read = (name) => (fs.existsSync(path.join(dir, name)) ? fs.readFileSync(path.join(dir, name)) : null);
  return {
    code: done.status, errors: done.stderr.split('\n').filter(Boolean),
    log: read('log.txt'), overlay: read('overlay.txt'), shot: read('shot.bmp'),
  };
}

// A BMP picture as { width, height, rgb } with the top row first.
function readBmp(bytes) {
  if (!bytes || bytes.toString('latin1', 0, 2) !== 'BM') throw new Error('not a BMP file');
  const offset = bytes.readUInt32LE(10);
  const width = bytes.readInt32LE(18);
  const stored = bytes.readInt32LE(22);
  const bits = bytes.readUInt16LE(28);
  if (bits !== 24 && bits !== 32) throw new Error(`a ${bits}-bit BMP`);
  const height = Math.abs(stored);
  const step = bits / 8;
  const stride = (width * step + 3) & ~3;
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; y++) {
    const row = offset + (stored > 0 ? height - 1 - y : y) * stride;
    for (let x = 0; x < width; x++) {
      const at = row + x * step;
      rgb[(y * width + x) * 3] = bytes[at + 2];
      rgb[(y * width + x) * 3 + 1] = bytes[at + 1];
      rgb[(y * width + x) * 3 + 2] = bytes[at];
    }
  }
  return { width, height, rgb };
}

// A 24-bit BMP of width × height whose pixel (x, y), top row first, is grey level shade(x, y).
function writeBmp(file, width, height, shade) {
  const stride = (width * 3 + 3) & ~3;
  const bytes = Buffer.alloc(54 + stride * height);
  bytes.write('BM', 0, 'latin1');
  bytes.writeUInt32LE(bytes.length, 2);
  bytes.writeUInt32LE(54, 10);
  bytes.writeUInt32LE(40, 14);
  bytes.writeInt32LE(width, 18);
  bytes.writeInt32LE(height, 22);
  bytes.writeUInt16LE(1, 26);
  bytes.writeUInt16LE(24, 28);
  for (let y = 0; y < height; y++) {
    const row = 54 + (height - 1 - y) * stride;
    for (let x = 0; x < width; x++) bytes.fill(shade(x, y), row + x * 3, row + x * 3 + 3);
  }
  fs.writeFileSync(file, bytes);
}

module.exports = {
  repo, flightKeys, serve, scratch, launch, open, keepInstances, start, exited, run, drop, readFile, settings,
  copyScene, native, readBmp, writeBmp,
};
