#!/usr/bin/env node
// The viewer's benchmark: what a user of `batchplant serve` waits for.
//
//   node bench/viewer.mjs --cli PATH/batchplant --data DIR [--scales 1,10,100]
//        [--fps-scales 1,10,100] [--requests 6000] [--chromium /usr/bin/chromium]
//        [--out FILE.md]
//
// For each scale (DIR/sample-SCALE.db) it starts the server and measures the
// time until it listens and its memory then; state requests over one
// kept-alive connection, as a browser sends them (requests per second,
// median and 99th percentile latency); at the first scale a soak of
// --requests state requests with a selection every 50 (the server's memory
// after 1,000 and at the end); and, at the fps scales, the frames per second
// the page reaches while playing in headless Chromium: display frames, and
// frames that show a new clock time. Prints a Markdown table; --out writes it.

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const { chromium } = createRequire(path.join(root, 'web/package.json'))('playwright-core');

function parseArgs(argv) {
  const out = { scales: '1,10,100', 'fps-scales': '1,10,100', requests: '6000', chromium: '/usr/bin/chromium' };
  for (let i = 0; i < argv.length; i += 2) {
    const m = /^--([a-z-]+)$/.exec(argv[i]);
    if (!m || i + 1 >= argv.length) throw new Error(`viewer.mjs: unexpected argument ${argv[i]}`);
    out[m[1]] = argv[i + 1];
  }
  if (!out.cli || !out.data) throw new Error('viewer.mjs: --cli PATH and --data DIR are required');
  return out;
}
const args = parseArgs(process.argv.slice(2));
const list = (text) => text.split(',').filter(Boolean).map(Number);

// ---- the server --------------------------------------------------------------

let server = null;
process.on('exit', () => server?.kill('SIGKILL'));

function startServer(db) {
  const started = performance.now();
  return new Promise((resolve, reject) => {
    server = spawn(args.cli, ['serve', db, '--port', '0'], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    let err = '';
    server.stdout.on('data', (chunk) => {
      out += chunk;
      const m = /^batchplant serve: (http:\/\/\S+?\/)\s*$/m.exec(out);
      if (m) resolve({ url: m[1], seconds: (performance.now() - started) / 1000 });
    });
    server.stderr.on('data', (chunk) => (err += chunk));
    server.on('exit', (code) => reject(new Error(`batchplant serve exited (${code}): ${err}`)));
  });
}

async function stopServer() {
  if (!server || server.exitCode !== null) return;
  const exited = new Promise((resolve) => server.once('exit', resolve));
  server.kill('SIGTERM');
  await exited;
  server = null;
}

const rssMB = () => {
  const m = /^VmRSS:\s+(\d+) kB/m.exec(fs.readFileSync(`/proc/${server.pid}/status`, 'utf8'));
  return Number(m[1]) / 1024;
};

// ---- one kept-alive connection ---------------------------------------------------

const agent = new http.Agent({ keepAlive: true, maxSockets: 1 });
const sockets = new Set();

// An answer's size as sent and the time until its last byte, asked as
// Chromium asks (it accepts br and gzip).
function fetchRaw(base, p) {
  return new Promise((resolve, reject) => {
    const at = performance.now();
    const req = http.request(new URL(p, base), { agent, headers: { 'Accept-Encoding': 'gzip, deflate, br' } }, (res) => {
      let bytes = 0;
      res.on('data', (c) => (bytes += c.length));
      res.on('end', () =>
        resolve({ status: res.statusCode, bytes, ms: performance.now() - at, encoding: res.headers['content-encoding'] }),
      );
    });
    req.on('socket', (s) => sockets.add(s));
    req.on('error', reject);
    req.end();
  });
}

function call(base, method, p, body) {
  return new Promise((resolve, reject) => {
    const payload = body === undefined ? undefined : JSON.stringify(body);
    const req = http.request(
      new URL(p, base),
      { method, agent, headers: payload ? { 'Content-Type': 'application/json' } : {} },
      (res) => {
        const chunks = [];
        res.on('data', (c) => chunks.push(c));
        res.on('end', () => {
          const text = Buffer.concat(chunks).toString();
          if (res.statusCode !== 200) reject(new Error(`${method} ${p}: ${res.statusCode} ${text.slice(0, 200)}`));
          else resolve(JSON.parse(text));
        });
      },
    );
    req.on('socket', (s) => sockets.add(s));
    req.on('error', reject);
    req.end(payload);
  });
}

const quantile = (sorted, q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];

// State requests at times spread over the run; every `selectEvery`-th a
// selection (a vessel, then nothing) goes between them.
async function stateRequests(base, model, count, selectEvery, onProgress) {
  const end = model.run.end;
  const items = model.vessels.map((v) => v.item).filter((x) => x > 0);
  const times = [];
  const started = performance.now();
  for (let i = 0; i < count; i += 1) {
    if (selectEvery && i % selectEvery === selectEvery - 1 && items.length) {
      const k = Math.floor(i / selectEvery);
      await call(base, 'POST', 'api/select', { item: k % 2 ? 0 : items[(k >> 1) % items.length] });
    }
    const t = Math.round(((i * 7919) % 1000) / 1000 * end);
    const at = performance.now();
    await call(base, 'GET', `api/state?t=${t}`);
    times.push(performance.now() - at);
    onProgress?.(i + 1);
  }
  const seconds = (performance.now() - started) / 1000;
  const sorted = [...times].sort((a, b) => a - b);
  return { count, perSecond: count / seconds, median: quantile(sorted, 0.5), p99: quantile(sorted, 0.99) };
}

// ---- the page, playing -------------------------------------------------------------

async function playFps(url, seconds) {
  const profileDir = fs.mkdtempSync(path.join(os.tmpdir(), 'bp-bench-chromium-'));
  const context = await chromium.launchPersistentContext(profileDir, {
    executablePath: args.chromium,
    headless: true,
    viewport: { width: 1280, height: 880 },
    // WebGL on SwiftShader, as the e2e test; the page composited in software,
    // as Chromium does on a machine without a usable GPU (compositing through
    // SwiftShader instead costs 50-130 ms a changed frame on two cores).
    args: ['--headless', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--disable-gpu-compositing', '--no-first-run'],
  });
  try {
    const page = context.pages()[0] || (await context.newPage());
    page.setDefaultTimeout(600_000);
    const loadStarted = performance.now();
    await page.goto(url);
    await page.waitForSelector('body[data-ready="1"]');
    const ready = (performance.now() - loadStarted) / 1000;
    // The first frames after a load raster the whole page; play is measured
    // once thirty display frames in a row come within 50 ms each.
    await page.evaluate(
      () =>
        new Promise((resolve) => {
          let calm = 0;
          let last = performance.now();
          const tick = (now) => {
            calm = now - last < 50 ? calm + 1 : 0;
            last = now;
            if (calm >= 30) resolve();
            else requestAnimationFrame(tick);
          };
          requestAnimationFrame(tick);
        }),
    );
    const settled = (performance.now() - loadStarted) / 1000;
    await page.selectOption('#speed', '1');
    await page.click('#play-forward');
    const fps = await page.evaluate(
      (ms) =>
        new Promise((resolve) => {
          let frames = 0;
          let shown = 0;
          let last = document.body.dataset.time;
          let first = null;
          const tick = (now) => {
            if (first === null) first = now;
            frames += 1;
            if (document.body.dataset.time !== last) {
              shown += 1;
              last = document.body.dataset.time;
            }
            if (now - first < ms) requestAnimationFrame(tick);
            else resolve({ display: (frames - 1) / ((now - first) / 1000), shown: shown / ((now - first) / 1000) });
          };
          requestAnimationFrame(tick);
        }),
      seconds * 1000,
    );
    await page.click('#pause');
    // What the page holds, and how fast a zoom or pan step of the time axis
    // redraws (wheel and drag on the schedule's canvas, to the next frame).
    const elements = await page.evaluate(() => document.getElementsByTagName('*').length);
    const steps = await page.evaluate(async () => {
      const canvas = document.querySelector('#gantt .gantt-canvas');
      if (!canvas) return null;
      const box = canvas.getBoundingClientRect();
      const x = box.left + box.width * 0.6;
      const y = box.top + Math.min(box.height / 2, 60);
      const frame = () => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
      const times = [];
      for (let i = 0; i < 50; i += 1) {
        const at = performance.now();
        if (i % 2 === 0) {
          canvas.dispatchEvent(new WheelEvent('wheel', { clientX: x, clientY: y, deltaY: i < 30 ? -120 : 120, bubbles: true, cancelable: true }));
        } else {
          canvas.dispatchEvent(new PointerEvent('pointerdown', { clientX: x, clientY: y, bubbles: true, pointerId: 1, button: 0 }));
          canvas.dispatchEvent(new PointerEvent('pointermove', { clientX: x - 40, clientY: y, bubbles: true, pointerId: 1, buttons: 1 }));
          canvas.dispatchEvent(new PointerEvent('pointerup', { clientX: x - 40, clientY: y, bubbles: true, pointerId: 1 }));
        }
        await frame();
        times.push(performance.now() - at);
      }
      times.sort((a, b) => a - b);
      return { median: times[25], p95: times[Math.floor(0.95 * times.length)] };
    });
    return { ready, settled, elements, steps, ...fps };
  } finally {
    await context.close();
    fs.rmSync(profileDir, { recursive: true, force: true });
  }
}

// ---- the run ---------------------------------------------------------------------

const rows = [];
const row = (...cells) => rows.push(`| ${cells.join(' | ')} |`);
const ms = (x) => `${x.toFixed(2)} ms`;
const fpsScales = new Set(list(args['fps-scales']));
const scales = list(args.scales);

for (const scale of scales) {
  const db = path.join(args.data, `sample-${scale}.db`);
  process.stderr.write(`viewer bench: scale ${scale} (${db})\n`);
  const { url, seconds } = await startServer(db);
  row('Serve, time until it listens', scale, `${seconds.toFixed(2)} s`, `${rssMB().toFixed(1)} MB resident`);
  const model = await call(url, 'GET', 'api/model');
  // The answers the page asks for first, as sent; the profile twice, cold
  // and kept.
  const answers = [];
  const page = await new Promise((resolve, reject) =>
    http.get(new URL('', url), { agent }, (res) => {
      let text = '';
      res.on('data', (c) => (text += c));
      res.on('end', () => resolve(text));
    }).on('error', reject),
  );
  const script = /src="\.?\/?(assets\/[^"]+\.js)"/.exec(page)?.[1] || '';
  for (const p of ['api/model', 'api/gantt', 'api/composite/profile?type=5&quantity=operators&perTime=0',
                   'api/composite/profile?type=5&quantity=operators&perTime=0', script]) {
    const a = await fetchRaw(url, p);
    answers.push(`${p.startsWith('assets/') ? 'script' : p} ${(a.bytes / 1e6).toFixed(2)} MB${a.encoding ? ` ${a.encoding}` : ''} in ${a.ms.toFixed(0)} ms`);
  }
  row('Answers as sent (model, gantt, profile cold and kept, the page\'s script)', scale, answers.join('; '), '');
  // Warm the connection and the library's caches.
  await stateRequests(url, model, 20, 0);
  const s = await stateRequests(url, model, scale === scales[0] ? 2000 : 500, 0);
  row(
    'State over one kept-alive connection',
    scale,
    `median ${ms(s.median)}, p99 ${ms(s.p99)}`,
    `${s.perSecond.toFixed(0)} requests/s (${s.count})`,
  );
  if (scale === scales[0]) {
    let after1000 = 0;
    const count = Number(args.requests);
    const soak = await stateRequests(url, model, count, 50, (n) => {
      if (n === 1000) after1000 = rssMB();
    });
    row(
      `Soak, ${count} states with a selection every 50`,
      scale,
      `RSS ${after1000.toFixed(1)} MB after 1,000, ${rssMB().toFixed(1)} MB at the end`,
      `median ${ms(soak.median)}, ${soak.perSecond.toFixed(0)} requests/s`,
    );
  }
  row('Connections the kept-alive requests used', scale, String(sockets.size), 'one when the server keeps them');
  agent.destroy();
  sockets.clear();
  if (fpsScales.has(scale)) {
    const f = await playFps(url, 5);
    row(
      'Page playing (1×), frames per second',
      scale,
      `${f.shown.toFixed(1)} new clock times/s, ${f.display.toFixed(1)} display frames/s`,
      `page ready after ${f.ready.toFixed(1)} s, settled after ${f.settled.toFixed(1)} s`,
    );
    row(
      'Page: DOM elements; zoom/pan step to the next frame',
      scale,
      `${f.elements} elements`,
      f.steps ? `median ${ms(f.steps.median)}, p95 ${ms(f.steps.p95)} (50 steps)` : 'no zoomable chart',
    );
  }
  await stopServer();
}

const table = [
  `Written by \`bench/viewer\` on ${new Date().toISOString().slice(0, 16).replace('T', ' ')} UTC, ` +
    `${os.cpus()[0]?.model || 'unknown CPU'}, ${os.cpus().length} cores.`,
  '',
  '| benchmark | scale | figure | also |',
  '|---|---|---|---|',
  ...rows,
].join('\n');
process.stdout.write(`${table}\n`);
if (args.out) fs.writeFileSync(args.out, `${table}\n`);
