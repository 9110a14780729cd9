// The browser build played in Debian's headless Chromium on SwiftShader,
// served from 127.0.0.1 only, driven through the DevTools protocol, and set
// against the desktop game (Mesa on a private Xvfb) replaying the very input
// the page's frames read. Every wait is on the page's frame count or state,
// never on the clock: SwiftShader draws a few frames a second here.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { PNG } from 'pngjs';

const repository = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const site = path.join(repository, 'build-web');
const reference = process.env.TUBECHAIN_DESKTOP_REFERENCE || path.join(repository, 'build/tests/desktop_reference');
const output = path.join(repository, 'build-web-test');
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'tubechain-web-'));
// Generous: the conditions are frames, this only stops a hung run.
const patience = 15 * 60 * 1000;
const frameWidth = 1024, frameHeight = 768;

// Debian's Chromium, headless, WebGL on SwiftShader; nothing that reaches
// for the network, a fresh profile (Playwright makes one for each launch)
// and a HOME of its own.
async function launchBrowser() {
  const home = path.join(scratch, 'home');
  fs.mkdirSync(home, { recursive: true });
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    env: { ...process.env, HOME: home, XDG_CONFIG_HOME: path.join(home, '.config'), XDG_CACHE_HOME: path.join(home, '.cache') },
    args: ['--headless=new', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--disable-quic', '--no-first-run', '--no-default-browser-check',
           ...(process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : [])],
  });
}

// build-web as a web games site serves it, and the same with one file of
// the data package broken (/broken-model/...) or left out (/missing-image/...).
function packageLayout() {
  const script = fs.readFileSync(path.join(site, 'index.js'), 'utf8');
  const found = script.match(/loadPackage\((\{"files":.*?\})\)/s);
  assert.ok(found, "index.js no longer holds the data package's file list where the tests look for it");
  return { script, listing: found[1], files: JSON.parse(found[1]).files };
}

function variantOf(name, file, body) {
  const layout = packageLayout();
  const entry = layout.files.find((f) => f.filename === name);
  assert.ok(entry, `${name} is not in the data package`);
  if (file === 'index.data' && body) {
    const data = Buffer.from(body);
    // The whole file becomes bytes no reader takes.
    data.fill(0x7f, entry.start, entry.end);
    return data;
  }
  if (file === 'index.js') {
    const listing = JSON.parse(layout.listing);
    listing.files = listing.files.filter((f) => f.filename !== name);
    return layout.script.replace(layout.listing, JSON.stringify(listing));
  }
  return body;
}

const variants = {
  'broken-model': { file: 'index.data', name: '/Model/Tube.OBJ' },
  'broken-sound': { file: 'index.data', name: '/SFX/Click.wav' },
  'missing-image': { file: 'index.js', name: '/Texture/Font.tga' },
};

let server, origin, browser, page;

function serve(request, response) {
  const parts = new URL(request.url, 'http://127.0.0.1').pathname.split('/').filter(Boolean);
  const variant = variants[parts[0]] ? parts.shift() : parts[0] === 'no-data' ? parts.shift() : null;
  const file = parts.join('/') || 'index.html';
  if (!['index.html', 'index.js', 'index.wasm', 'index.data'].includes(file) || (variant === 'no-data' && file === 'index.data')) {
    response.writeHead(404).end();
    return;
  }
  let body = fs.readFileSync(path.join(site, file));
  if (variants[variant] && variants[variant].file === file) body = variantOf(variants[variant].name, file, body);
  const types = { html: 'text/html', js: 'text/javascript', wasm: 'application/wasm', data: 'application/octet-stream' };
  response.writeHead(200, { 'Content-Type': types[file.split('.').pop()], 'Cache-Control': 'no-store' }).end(body);
}

// The letterbox of the 1024 x 768 frame in the page (CSS pixels), as the game fits it.
function letterbox(width, height) {
  const scale = Math.min(width / frameWidth, height / frameHeight);
  return { scale, left: (width - frameWidth * scale) / 2, top: (height - frameHeight * scale) / 2 };
}
function pageSpot(box, x, y) {
  return { x: box.left + (x + 0.5) * box.scale, y: box.top + (y + 0.5) * box.scale };
}

const status = () => page.evaluate(() => tubechainPage.status);
async function untilPage(condition, argument) {
  await page.waitForFunction(condition, argument, { timeout: patience, polling: 100 });
}
async function untilFrame(n) {
  await untilPage((n) => tubechainPage.status.frames >= n || tubechainPage.state !== 'running', n);
  assert.equal((await status()).state, 'running');
}
// The page's own animation frames, counted there.
async function animationFrames(target, n) {
  await target.evaluate((n) => new Promise((done) => {
    let seen = 0;
    const next = () => (++seen >= n ? done() : requestAnimationFrame(next));
    requestAnimationFrame(next);
  }), n);
}

// The frame the game drew last (1024 x 768 RGBA, bottom row first), its number and report.
async function lastFrame() {
  const { status, data } = await page.evaluate(() => {
    const at = Module._webReadFrame();
    const bytes = Module.HEAPU8.subarray(at, at + 1024 * 768 * 4);
    let text = '';
    for (let k = 0; k < bytes.length; k += 32768) text += String.fromCharCode.apply(null, bytes.subarray(k, k + 32768));
    return { status: tubechainPage.status, data: btoa(text) };
  });
  return { number: status.frames, status, pixels: Buffer.from(data, 'base64') };
}
// A key pressed (down and up, between two frames), and the report of the next frame that reads it.
async function press(key, target = page) {
  if (key) await target.keyboard.press(key);
  const frames = await target.evaluate(() => tubechainPage.status.frames);
  await target.waitForFunction((n) => tubechainPage.status.frames > n || tubechainPage.state !== 'running', frames,
                               { timeout: patience, polling: 50 });
  return target.evaluate(() => tubechainPage.status);
}

function writePng(file, width, height, pixel) {
  const png = new PNG({ width, height });
  for (let y = 0; y < height; ++y) for (let x = 0; x < width; ++x) {
    const [r, g, b] = pixel(x, y);
    png.data.set([r, g, b, 255], (y * width + x) * 4);
  }
  fs.writeFileSync(path.join(output, file), PNG.sync.write(png));
}
// An RGBA frame, bottom row first, as seen from the top.
const at = (frame, x, y) => (frameHeight - 1 - y) * frameWidth * 4 + x * 4;
function rgb(frame, x, y) { const k = at(frame, x, y); return [frame[k], frame[k + 1], frame[k + 2]]; }
// Per pixel, the largest channel difference.
function difference(a, b) {
  const d = new Uint8Array(frameWidth * frameHeight);
  for (let y = 0; y < frameHeight; ++y) for (let x = 0; x < frameWidth; ++x) {
    const k = at(a, x, y);
    d[y * frameWidth + x] = Math.max(Math.abs(a[k] - b[k]), Math.abs(a[k + 1] - b[k + 1]), Math.abs(a[k + 2] - b[k + 2]));
  }
  return d;
}
function share(d, over, region = { x0: 0, y0: 0, x1: frameWidth, y1: frameHeight }) {
  let n = 0, all = 0;
  for (let y = region.y0; y < region.y1; ++y) for (let x = region.x0; x < region.x1; ++x, ++all) n += d[y * frameWidth + x] > over;
  return n / all;
}

function desktop(args) {
  const home = path.join(scratch, 'desktop-home');
  fs.mkdirSync(home, { recursive: true });
  const env = { ...process.env, HOME: home, XDG_RUNTIME_DIR: home, ALSOFT_DRIVERS: 'null' };
  delete env.WAYLAND_DISPLAY;
  const run = spawnSync('xvfb-run', ['-a', '-s', '-screen 0 1024x768x24 -noreset', reference, ...args],
                        { cwd: repository, env, encoding: 'utf8', maxBuffer: 64 << 20, timeout: patience });
  assert.equal(run.status, 0, `desktop_reference ${args.join(' ')}: ${run.stderr}`);
  return run.stdout;
}

before(async () => {
  assert.ok(fs.existsSync(path.join(site, 'index.html')), 'build-web is missing: run make web');
  assert.ok(fs.existsSync(reference), `${reference} is missing: run make build`);
  fs.rmSync(output, { recursive: true, force: true });
  fs.mkdirSync(output, { recursive: true });
  server = http.createServer(serve);
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  origin = `http://127.0.0.1:${server.address().port}`;
  browser = await launchBrowser();
  page = await (await browser.newContext({ viewport: { width: 1280, height: 800 } })).newPage();
  page.on('console', (message) => seen.console.push(message.text()));
});

after(async () => {
  if (seen.console.length) fs.writeFileSync(path.join(output, 'console.txt'), seen.console.join('\n') + '\n');
  if (browser) await browser.close();
  if (server) server.close();
  fs.rmSync(scratch, { recursive: true, force: true });
});

// What the run collects for the later checks.
const seen = { frames: {}, picks: null, desktopPicks: null, console: [] };
// The pointer positions picked: every eighth pixel both ways, and every
// pixel of three rows across the board, where silhouettes meet.
const gridFirst = 2, gridStep = 8;
const gridColumns = Math.ceil((frameWidth - gridFirst) / gridStep);
const pickPoints = [];
for (let y = gridFirst; y < frameHeight; y += gridStep) for (let x = gridFirst; x < frameWidth; x += gridStep) pickPoints.push([x, y]);
const gridCount = pickPoints.length;
for (const y of [201, 397, 603]) for (let x = 0; x < frameWidth; ++x) pickPoints.push([x, y]);

test('the page: a plain Click to play, a canvas of device pixels filling the window', async () => {
  await page.goto(`${origin}/index.html`);
  await untilPage(() => window.tubechainPage && tubechainPage.state !== 'loading');
  const shown = await page.evaluate(() => ({
    state: tubechainPage.state, text: document.body.innerText.trim(), title: document.title,
    canvas: [canvas.width, canvas.height, canvas.clientWidth, canvas.clientHeight],
    elements: document.querySelectorAll('body *').length,
  }));
  assert.equal(shown.state, 'ready');
  assert.equal(shown.text, 'Click to play');
  assert.equal(shown.title, 'Tubechain');
  assert.deepEqual(shown.canvas, [1280, 800, 1280, 800]);
  // The canvas, the cover with its one line, and the scripts: no shell of Emscripten's.
  assert.ok(shown.elements <= 6, `${shown.elements} elements on the page`);
  await page.screenshot({ path: path.join(output, 'click-to-play.png') });
});

test('the game: start-up board, the outline under the pointer, a click that turns a tube and scores', async (t) => {
  const box = letterbox(1280, 800);
  // Above the board, on the stage: nothing under the pointer.
  const start = pageSpot(box, 512, 8);
  await page.mouse.click(start.x, start.y);
  await untilPage(() => tubechainPage.state !== 'ready' && tubechainPage.state !== 'starting');
  assert.equal((await status()).state, 'running', await page.evaluate(() => document.body.innerText));
  // The click to play captured the pointer.
  assert.ok(await page.evaluate(() => document.pointerLockElement === canvas), 'the pointer is not captured');

  // The start-up lightning runs on every tube for its first frames.
  await untilFrame(4);
  seen.frames.lightning = await lastFrame();
  const lightning = await page.evaluate(() => [tubechainPage.status.frames, performance.now(), tubechainPage.status.frameMilliseconds]);
  await untilPage(() => tubechainPage.status.frames >= 40 && !tubechainPage.status.busy);
  seen.frames.startUp = await lastFrame();
  // How fast this machine's browser draws the game: a measurement, no wait.
  const idle = await page.evaluate(() => [tubechainPage.status.frames, performance.now(), tubechainPage.status.frameMilliseconds]);
  await untilFrame(seen.frames.startUp.number + 20);
  const later = await page.evaluate(() => [tubechainPage.status.frames, performance.now(), tubechainPage.status.frameMilliseconds]);
  t.diagnostic(`frames a second: ${((idle[0] - lightning[0]) / (idle[1] - lightning[1]) * 1000).toFixed(1)} with lightning, ` +
               `${((later[0] - idle[0]) / (later[1] - idle[1]) * 1000).toFixed(1)} idle; the frame's main-thread time ` +
               `${((idle[2] - lightning[2]) / (idle[0] - lightning[0])).toFixed(1)} ms with lightning, ` +
               `${((later[2] - idle[2]) / (later[0] - idle[0])).toFixed(1)} ms idle`);
  await page.screenshot({ path: path.join(output, 'start-up.png') });
  const still = await status();
  assert.equal(still.hoveredTube, 0);
  assert.equal(still.score, 0);

  // The page's picture: the frame scaled into the window between black bars.
  const shot = PNG.sync.read(fs.readFileSync(path.join(output, 'start-up.png')));
  const lit = (x, y) => { const k = (y * shot.width + x) * 4; return shot.data[k] + shot.data[k + 1] + shot.data[k + 2] > 60; };
  const bottom = shot.height - 2;
  let first = 0, last = shot.width - 1;
  while (first < shot.width && !lit(first, bottom)) ++first;
  while (last > 0 && !lit(last, bottom)) --last;
  assert.ok(Math.abs(first - box.left) <= 2 && Math.abs(last + 1 - (box.left + frameWidth * box.scale)) <= 2,
            `the stage's bottom edge spans ${first}..${last}, the frame ${box.left}..${box.left + frameWidth * box.scale}`);
  for (let y = 0; y < shot.height; y += 7) assert.ok(!lit(5, y) && !lit(shot.width - 6, y), `a bar is not black at row ${y}`);

  // Picking, on the start-up board as it stands.
  seen.picks = await page.evaluate((points) => {
    const from = Module._malloc(points.length * 8);
    Module.HEAP32.set(points.flat(), from >> 2);
    const at = Module._webPickPoints(from, points.length) >> 2;
    const picks = Array.from(Module.HEAP32.subarray(at, at + points.length));
    Module._free(from);
    return picks;
  }, pickPoints);
  fs.writeFileSync(path.join(scratch, 'points.txt'), pickPoints.map((p) => p.join(' ')).join('\n') + '\n');
  seen.desktopPicks = desktop(['picks', path.join(scratch, 'points.txt')]).trim().split('\n').map(Number);

  // The pointer to the grid point deepest inside tube 217 (whose chain on
  // the start-up board is short, where 197's runs for 1,700 frames) by the
  // desktop's picks.
  const target = 217;
  let spot = null, most = 0;
  seen.desktopPicks.slice(0, gridCount).forEach((tube, k) => {
    if (tube !== target) return;
    let around = 0;
    for (const dy of [-1, 0, 1]) for (const dx of [-1, 0, 1]) around += seen.desktopPicks[k + dy * gridColumns + dx] === target;
    if (around > most) {
      most = around;
      spot = { x: gridFirst + gridStep * (k % gridColumns), y: gridFirst + gridStep * Math.floor(k / gridColumns) };
    }
  });
  assert.ok(most >= 3, `tube 217 is under at most ${most} neighbouring grid points`);
  const over = pageSpot(box, spot.x, spot.y);
  await page.mouse.move(over.x, over.y);
  await untilPage((tube) => tubechainPage.status.hoveredTube === tube || tubechainPage.state !== 'running', target);
  seen.frames.hover = await lastFrame();
  await page.screenshot({ path: path.join(output, 'outline.png') });
  // The outline: white lines drawn over the tube, nowhere else.
  const outline = difference(seen.frames.startUp.pixels, seen.frames.hover.pixels);
  const near = { x0: spot.x - 40, y0: spot.y - 40, x1: spot.x + 40, y1: spot.y + 40 };
  let brighter = 0, elsewhere = 0;
  for (let y = 0; y < frameHeight; ++y) for (let x = 0; x < frameWidth; ++x) {
    if (outline[y * frameWidth + x] <= 24) continue;
    const inside = x >= near.x0 && x < near.x1 && y >= near.y0 && y < near.y1;
    const cursor = Math.abs(x - spot.x) < 48 && Math.abs(y - spot.y) < 48 || y < 40;
    if (inside) brighter += rgb(seen.frames.hover.pixels, x, y).reduce((a, b) => a + b) > rgb(seen.frames.startUp.pixels, x, y).reduce((a, b) => a + b);
    else if (!cursor) ++elsewhere;
  }
  assert.ok(brighter > 40, `${brighter} pixels of the tube turned brighter`);
  assert.equal(elsewhere, 0);

  await page.mouse.down();
  await page.mouse.up();
  await untilPage(() => tubechainPage.status.score >= 1 || tubechainPage.state !== 'running');
  const clicked = await status();
  assert.equal(clicked.state, 'running');
  await untilFrame(clicked.frames + 4);
  seen.frames.click = await lastFrame();
  await page.screenshot({ path: path.join(output, 'after-click.png') });
  const after = await status();
  assert.ok(after.score >= 1 && after.busy, JSON.stringify(after));
  // The tube turned: its patch of the picture changed; and the score on the stage.
  const turned = difference(seen.frames.startUp.pixels, seen.frames.click.pixels);
  assert.ok(share(turned, 24, near) > 0.1, 'tube 217 looks the same');
  assert.ok(share(turned, 24, { x0: 200, y0: 0, x1: 700, y1: 60 }) > 0.005, 'the score on the stage looks the same');
  seen.status = after;
  // WebGL took every call the GL layer made.
  assert.deepEqual(seen.console.filter((line) => /WebGL|GL_|INVALID/.test(line)), []);
});

// Where the game draws its sign that the sound is off: the frame's top-right corner.
const corner = { x0: 1024 - 48, y0: 0, x1: 1024, y1: 48 };

test('keys and a gamepad steer the pointer from tube to tube; Space clicks, banks the score and keeps the best', async () => {
  await untilPage(() => !tubechainPage.status.busy || tubechainPage.state !== 'running');
  const banked = (await status()).score;
  // Tube i stands in row (i - 1) / 15 + 1 from the player, column (i - 1)
  // % 15 + 1 from the left: from 217, one press a frame.
  await page.evaluate(() => {
    window.pad = { id: 'pad', connected: true, mapping: 'standard', axes: [0, 0, 0, 0], buttons: Array(17).fill({ pressed: false, value: 0 }) };
    navigator.getGamepads = () => [window.pad];
  });
  const padRight = (held) => page.evaluate((held) => { window.pad.buttons[15] = { pressed: held, value: +held }; }, held);
  for (const [key, tube] of [['ArrowDown', 202], ['KeyA', 201], [null, 202], ['KeyS', 187], ['ArrowLeft', 186],
                             ['KeyW', 201], ['ArrowUp', 216], ['KeyD', 217], ['ArrowRight', 218]]) {
    if (!key) await padRight(true);  // the d-pad's right
    assert.equal((await press(key)).hoveredTube, tube, `after ${key || 'the d-pad'}`);
    if (!key) await padRight(false);
  }
  seen.frames.steered = await lastFrame();
  const clicked = await press('Space');
  assert.ok(clicked.best === banked && banked >= 1 && clicked.score === 0, JSON.stringify(clicked));
  assert.ok((await press(null)).busy);
  seen.frames.keyClick = await lastFrame();
});

test('M silences the sound and shows the sign in the top-right corner, and M again gives the sound back', async () => {
  assert.equal((await press('KeyM')).gain, 0);
  seen.frames.muted = await lastFrame();
  assert.equal((await press('KeyM')).gain, 1);
  seen.frames.unmuted = await lastFrame();
  // The sign itself is the desktop's: the replay below compares that corner.
  assert.ok(share(difference(seen.frames.unmuted.pixels, seen.frames.muted.pixels), 24, corner) > 0.05, 'no sign');
  assert.equal(share(difference(seen.frames.steered.pixels, seen.frames.unmuted.pixels), 24, corner), 0);
});

test('picking gives the tube the desktop selection mode gives, on an 8-pixel grid and along three rows', () => {
  assert.equal(seen.picks.length, pickPoints.length);
  assert.equal(seen.desktopPicks.length, pickPoints.length);
  const differing = [];
  seen.desktopPicks.forEach((tube, k) => {
    if (seen.picks[k] !== tube) differing.push(`(${pickPoints[k].join(', ')}): ${seen.picks[k]}, desktop ${tube}`);
  });
  assert.deepEqual(differing, []);
  assert.ok(new Set(seen.picks).size === 226, 'every tube and the background were picked somewhere');
});

test('the pictures, scores and tubes under the pointer match the desktop game replaying the same input, frame for frame', async () => {
  const names = Object.keys(seen.frames);
  const log = await page.evaluate((n) => {
    const at = Module._webInputLog() >> 2;
    return Array.from(Module.HEAP32.subarray(at, at + 5 * n));
  }, Math.max(...names.map((n) => seen.frames[n].number)));
  const lines = [];
  for (let k = 0; k < log.length; k += 5) lines.push(log.slice(k, k + 5).join(' '));
  fs.writeFileSync(path.join(scratch, 'input.txt'), lines.join('\n') + '\n');
  const folder = path.join(scratch, 'desktop');
  fs.mkdirSync(folder, { recursive: true });
  const reported = desktop(['frames', path.join(scratch, 'input.txt'), folder, ...names.map((n) => String(seen.frames[n].number))]);
  const reports = names.map((n) => ['frames', 'score', 'best', 'hoveredTube'].map((key) => seen.frames[n].status[key]).join(' '));
  assert.deepEqual(reported.trim().split('\n'), reports);
  const summary = {};
  const desktopFrames = {};
  for (const name of names) {
    const web = seen.frames[name].pixels;
    const desk = fs.readFileSync(path.join(folder, `frame-${seen.frames[name].number}.rgba`));
    desktopFrames[name] = desk;
    const d = difference(web, desk);
    writePng(`${name}-browser.png`, frameWidth, frameHeight, (x, y) => rgb(web, x, y));
    writePng(`${name}-desktop.png`, frameWidth, frameHeight, (x, y) => rgb(desk, x, y));
    writePng(`${name}-difference.png`, frameWidth, frameHeight, (x, y) => { const v = Math.min(255, 4 * d[y * frameWidth + x]); return [v, v, v]; });
    summary[name] = { frame: seen.frames[name].number, over8: share(d, 8), over24: share(d, 24), over64: share(d, 64),
                      signCorner: share(d, 24, corner) };
  }
  fs.writeFileSync(path.join(output, 'comparison.json'), JSON.stringify(summary, null, 2));
  // Edges rasterise a little differently on SwiftShader and on Mesa;
  // anything that is drawn differently (a colour, a missing pass, the
  // outline, the score) covers far more.
  for (const name of names.filter((n) => n !== 'lightning'))
    assert.ok(summary[name].over24 < 0.003 && summary[name].signCorner < 0.02, `${name}: ${JSON.stringify(summary[name])}`);
  // Where the desktop's outline and cursor are, the browser draws them alike:
  // its smoothed lines may differ a little at their rims.
  const outline = difference(desktopFrames.startUp, desktopFrames.hover);
  const region = { x0: frameWidth, y0: frameHeight, x1: 0, y1: 0 };
  for (let y = 60; y < frameHeight; ++y) for (let x = 0; x < frameWidth; ++x) {
    if (outline[y * frameWidth + x] <= 24) continue;
    Object.assign(region, { x0: Math.min(region.x0, x), y0: Math.min(region.y0, y), x1: Math.max(region.x1, x + 1), y1: Math.max(region.y1, y + 1) });
  }
  assert.ok(region.x1 > region.x0, 'the desktop shows no outline');
  const outlineShare = share(difference(seen.frames.hover.pixels, desktopFrames.hover), 24, region);
  assert.ok(outlineShare < 0.15, `${(100 * outlineShare).toFixed(1)} % of the outline's rectangle differs`);
  // The lightning's blend stands in for the desktop's where the browser
  // lacks WEBGL_blend_func_extended: the shells' rims differ.
  const blendExact = (await status()).saturateBlend;
  assert.ok(summary.lightning.over24 < (blendExact ? 0.003 : 0.02), `lightning: ${JSON.stringify(summary.lightning)}`);
});

test('sound: the audio started with the click to play, and the voices played', () => {
  const voices = seen.status.voicesHeard;
  const heard = (slot) => (voices & (1 << slot)) !== 0;
  assert.equal(seen.status.audio, 'running');
  assert.ok([0, 1, 2, 3, 4, 5, 6, 8, 9, 10].some(heard), 'no electricity voice of the start-up lightning');
  assert.ok(heard(11), 'the click voice');
  assert.ok(heard(7), 'the turn voice');
});

test('a reload starts with the best and the silence kept, never full screen; Alt+Enter asks for full screen', async () => {
  assert.equal((await press('KeyM')).gain, 0);
  await page.reload();
  await untilPage(() => window.tubechainPage && tubechainPage.state === 'ready');
  await page.mouse.click(640, 10);
  await untilFrame(2);
  const started = await lastFrame();
  assert.deepEqual([started.status.best, started.status.score, started.status.gain], [seen.frames.keyClick.status.best, 0, 0]);
  assert.ok(share(difference(started.pixels, seen.frames.steered.pixels), 24, corner) > 0.05, 'no sign after the reload');
  assert.equal(await page.evaluate(() => document.fullscreenElement), null);
  await press('Alt+Enter');
  await untilPage(() => document.fullscreenElement === document.documentElement);
  assert.equal((await press('Alt+Enter')).state, 'running');
  await untilPage(() => document.fullscreenElement === null);
});

test('Escape ends the frame loop and says so on the page', async () => {
  await page.keyboard.press('Escape');
  await untilPage(() => tubechainPage.state !== 'running');
  const ended = await status();
  assert.equal(ended.state, 'ended');
  await animationFrames(page, 10);
  assert.equal((await status()).frames, ended.frames);
  assert.match(await page.evaluate(() => document.body.innerText), /The game has ended/);
});

test('at a device pixel ratio of 2 the canvas has the device pixels and shows the same picture; leaving ends the game', async () => {
  const sharp = await (await browser.newContext({ viewport: { width: 640, height: 400 }, deviceScaleFactor: 2 })).newPage();
  await sharp.goto(`${origin}/index.html`);
  await sharp.waitForFunction(() => window.tubechainPage && tubechainPage.state === 'ready', null, { timeout: patience, polling: 100 });
  assert.deepEqual(await sharp.evaluate(() => [devicePixelRatio, canvas.clientWidth, canvas.width, canvas.height]), [2, 640, 1280, 800]);
  const box = letterbox(640, 400);
  await sharp.mouse.click(box.left + 512.5 * box.scale, box.top + 8.5 * box.scale);
  await sharp.waitForFunction(() => tubechainPage.status.frames >= 40 && !tubechainPage.status.busy || tubechainPage.state !== 'running',
                              null, { timeout: patience, polling: 100 });
  const shot = PNG.sync.read(await sharp.screenshot({ path: path.join(output, 'start-up-ratio-2.png') }));
  const plain = PNG.sync.read(fs.readFileSync(path.join(output, 'start-up.png')));
  assert.deepEqual([shot.width, shot.height], [plain.width, plain.height]);
  // The same frame, scaled by the game onto the same device pixels: only
  // the cursor (placed at the click to play) and edges may differ.
  let differing = 0;
  for (let k = 0; k < shot.data.length; k += 4) {
    const d = Math.max(...[0, 1, 2].map((c) => Math.abs(shot.data[k + c] - plain.data[k + c])));
    differing += d > 24;
  }
  assert.ok(differing / (shot.width * shot.height) < 0.01, `${differing} pixels differ`);
  // A window of another shape: the canvas follows, the frame goes on.
  await sharp.setViewportSize({ width: 500, height: 600 });
  const resized = await sharp.evaluate(() => tubechainPage.status.frames);
  await sharp.waitForFunction((n) => tubechainPage.status.frames >= n, resized + 2, { timeout: patience, polling: 100 });
  assert.deepEqual(await sharp.evaluate(() => [canvas.width, canvas.height]), [1000, 1200]);
  // Leaving the page (the event the browser sends then) ends the game.
  await sharp.evaluate(() => window.dispatchEvent(new PageTransitionEvent('pagehide', { persisted: false })));
  const left = await sharp.evaluate(() => tubechainPage.status);
  assert.equal(left.state, 'ended');
  await animationFrames(sharp, 5);
  assert.equal(await sharp.evaluate(() => tubechainPage.status.frames), left.frames);
  await sharp.close();
});

test('a missing or broken data file shows the game\'s message on the page and stops', async () => {
  const cases = [
    ['broken-model', 'Failed to load model!'],
    ['missing-image', 'Failed to load image!!!'],
    ['broken-sound', 'Error: Failed to load WAV data!'],
    ['no-data', /^The game could not start/],
  ];
  for (const [variant, message] of cases) {
    const bad = await page.context().newPage();
    await bad.goto(`${origin}/${variant}/index.html`);
    await bad.waitForFunction(() => window.tubechainPage && tubechainPage.state !== 'loading', null, { timeout: patience, polling: 100 });
    if (await bad.evaluate(() => tubechainPage.state === 'ready')) {
      await bad.mouse.click(640, 400);
      await bad.waitForFunction(() => !['ready', 'starting'].includes(tubechainPage.state), null, { timeout: patience, polling: 100 });
    }
    await animationFrames(bad, 5);
    const shown = await bad.evaluate(() => ({ state: tubechainPage.state, frames: tubechainPage.status.frames, text: document.body.innerText.trim() }));
    assert.equal(shown.state, 'failed', `${variant}: ${JSON.stringify(shown)}`);
    assert.equal(shown.frames, 0, variant);
    if (typeof message === 'string') assert.equal(shown.text, message, variant);
    else assert.match(shown.text, message, variant);
    await bad.screenshot({ path: path.join(output, `${variant}.png`) });
    await bad.close();
  }
});

test('kept values that make no sense are set aside, never over an older one, and the game starts without them', async () => {
  const fresh = await (await browser.newContext()).newPage();
  const notes = [];
  fresh.on('console', (message) => notes.push(message.text()));
  await fresh.goto(`${origin}/index.html`);
  await fresh.waitForFunction(() => window.tubechainPage && tubechainPage.state === 'ready', null, { timeout: patience, polling: 100 });
  const kept = { 'tubechain/best.txt': 'best=plenty\n', 'tubechain/best.txt.bad': 'best=7\n', 'tubechain/settings.ini': 'muted=perhaps\n' };
  await fresh.evaluate((kept) => Object.assign(localStorage, kept), kept);
  await fresh.mouse.click(320, 10);
  const { state, best, gain } = await press(null, fresh);
  assert.deepEqual([state, best, gain], ['running', 0, 1]);
  assert.deepEqual(await fresh.evaluate(() => ({ ...localStorage })), { 'tubechain/best.txt.bad': 'best=7\n',
    'tubechain/best.txt.bad-2': 'best=plenty\n', 'tubechain/settings.ini.bad': 'muted=perhaps\n' });
  // Said on the browser's console, never over the game.
  assert.match(notes.join('\n'), /best\.txt makes no sense.*best\.txt\.bad-2[^]*settings\.ini makes no sense/);
  assert.equal(await fresh.evaluate(() => document.body.innerText.trim()), '');
  await fresh.close();
});
