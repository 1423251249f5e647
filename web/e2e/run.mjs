#!/usr/bin/env node
// End-to-end test of the viewer: starts `batchplant serve` on a sample run,
// drives the page in headless Chromium and checks what it shows against
// the server's JSON API.
//
//   node e2e/run.mjs --cli PATH/batchplant [--db SAMPLE.db] [--screenshots DIR]
//                    [--chromium /usr/bin/chromium] [--page URL]
//
// For work on the page: --server URL uses a running `batchplant serve`
// instead of starting one, and --page URL loads the page from elsewhere
// (say vite's dev server, which forwards /api to that server).
//
// Without --db a sample is generated into a temporary directory. Prints one
// "ok"/"not ok" line per check and "N passed, N failed" at the end; exits 1
// when a check failed. The server and the browser are stopped on every way
// out, failures included.

import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

const args = parseArgs(process.argv.slice(2));
const CHROMIUM = args.chromium || '/usr/bin/chromium';
const WAIT = 60_000;

function parseArgs(argv) {
  const out = {};
  for (let i = 0; i < argv.length; i += 1) {
    const m = /^--([a-z-]+)$/.exec(argv[i]);
    if (!m || i + 1 >= argv.length) throw new Error(`run.mjs: unexpected argument ${argv[i]}`);
    out[m[1]] = argv[(i += 1)];
  }
  if (!out.cli && !out.server) throw new Error('run.mjs: --cli PATH is required');
  return out;
}

// ---- processes that must not outlive the test ------------------------------------

const cleanups = [];
let server = null;

function killServerNow() {
  if (server && server.exitCode === null && server.signalCode === null) server.kill('SIGKILL');
}
process.on('exit', killServerNow);
for (const sig of ['SIGINT', 'SIGTERM']) {
  process.on(sig, () => {
    killServerNow();
    process.exit(1);
  });
}

async function stopServer() {
  if (!server || server.exitCode !== null || server.signalCode !== null) return;
  const exited = new Promise((resolve) => server.once('exit', resolve));
  server.kill('SIGTERM');
  const timer = setTimeout(() => killServerNow(), 5000);
  await exited;
  clearTimeout(timer);
}

function startServer(cli, db) {
  return new Promise((resolve, reject) => {
    server = spawn(cli, ['serve', db, '--port', '0'], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    let err = '';
    const timer = setTimeout(() => reject(new Error(`batchplant serve did not say where it listens within ${WAIT} ms\n${err}`)), WAIT);
    server.stdout.on('data', (chunk) => {
      out += chunk;
      const m = /^batchplant serve: (http:\/\/\S+?\/)\s*$/m.exec(out);
      if (m) {
        clearTimeout(timer);
        resolve(m[1]);
      }
    });
    server.stderr.on('data', (chunk) => {
      err += chunk;
    });
    server.once('error', (e) => {
      clearTimeout(timer);
      reject(e);
    });
    server.once('exit', (code, signal) => {
      clearTimeout(timer);
      reject(new Error(`batchplant serve exited (${code ?? signal}) before listening\n${err}`));
    });
  });
}

// ---- checks ---------------------------------------------------------------------

let passed = 0;
let failed = 0;

function assert(condition, message) {
  if (!condition) throw new Error(message);
}

async function check(name, fn) {
  try {
    await fn();
    passed += 1;
    console.log(`ok - ${name}`);
    return true;
  } catch (err) {
    failed += 1;
    console.log(`not ok - ${name}\n    ${String(err && err.stack ? err.stack : err).replace(/\n/g, '\n    ')}`);
    return false;
  }
}

// ---- the test ------------------------------------------------------------------

async function main() {
  let db = args.db;
  if (!db && !args.server) {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'bp-e2e-db-'));
    cleanups.push(() => fs.rmSync(dir, { recursive: true, force: true }));
    db = path.join(dir, 'sample.db');
    const r = spawnSync(args.cli, ['sample', db, '--scale', '1', '--seed', '9'], { encoding: 'utf8' });
    if (r.status !== 0) throw new Error(`batchplant sample failed: ${r.stderr}`);
  }
  const shots = args.screenshots ? path.resolve(args.screenshots) : null;
  if (shots) fs.mkdirSync(shots, { recursive: true });

  const base = args.server ? new URL(args.server).href : await startServer(args.cli, db);
  console.log(`# server at ${base}`);
  const apiGet = async (p) => {
    const r = await fetch(new URL(p, base));
    const body = await r.json();
    if (!r.ok) throw new Error(`GET ${p}: ${r.status} ${body.error}`);
    return body;
  };

  const profileDir = fs.mkdtempSync(path.join(os.tmpdir(), 'bp-e2e-chromium-'));
  cleanups.push(() => fs.rmSync(profileDir, { recursive: true, force: true }));
  const context = await chromium.launchPersistentContext(profileDir, {
    executablePath: CHROMIUM,
    headless: true,
    viewport: { width: 1280, height: 880 },
    deviceScaleFactor: 1,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--use-angle=swiftshader',
      '--enable-unsafe-swiftshader',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
  cleanups.unshift(() => context.close());
  const page = context.pages()[0] || (await context.newPage());
  page.setDefaultTimeout(WAIT);
  const pageErrors = [];
  page.on('pageerror', (e) => pageErrors.push(e.message));
  page.on('console', (m) => {
    if (m.type() === 'error') pageErrors.push(m.text());
  });
  page.on('response', (r) => {
    if (r.status() >= 400) pageErrors.push(`${r.status()} for ${r.url()}`);
  });

  const loaded = await check('the page loads the run from the server', async () => {
    await page.goto(args.page || base);
    await page.waitForFunction(() => document.body.dataset.ready === '1' || document.body.dataset.ready === 'error');
    const ready = await page.evaluate(() => document.body.dataset.ready);
    assert(ready === '1', `the page reports a failure: ${await page.textContent('#status')}`);
  });
  if (!loaded) return;

  const model = await apiGet('api/model');
  const schedule = await apiGet('api/gantt');
  const end = model.run.end;

  await check('the 3-D canvas renders the plant (many colours, not just the background)', async () => {
    const stats = await page.evaluate(() => {
      window.batchplantViewer.renderNow();
      const canvas = document.querySelector('.scene-canvas');
      const copy = document.createElement('canvas');
      copy.width = canvas.width;
      copy.height = canvas.height;
      const ctx = copy.getContext('2d');
      ctx.drawImage(canvas, 0, 0);
      const { data } = ctx.getImageData(0, 0, copy.width, copy.height);
      const colours = new Set();
      let background = 0;
      for (let i = 0; i < data.length; i += 4) {
        colours.add((data[i] << 16) | (data[i + 1] << 8) | data[i + 2]);
        if (data[i] === data[0] && data[i + 1] === data[1] && data[i + 2] === data[2]) background += 1;
      }
      return { width: copy.width, height: copy.height, colours: colours.size, background, pixels: data.length / 4 };
    });
    assert(stats.width > 100 && stats.height > 100, `canvas is ${stats.width}×${stats.height}`);
    assert(stats.colours >= 50, `only ${stats.colours} distinct colours on the canvas`);
    const drawn = 1 - stats.background / stats.pixels;
    assert(drawn > 0.05, `only ${(drawn * 100).toFixed(2)} % of the canvas differs from the background`);
  });

  // What the schedule draws is what the API answers for the window it shows:
  // every entry of its answer that meets the window, once.
  async function expectGanttMatchesApi(what) {
    const ds = await page.evaluate(() => ({ ...document.querySelector('#gantt').dataset }));
    const answer = await apiGet(`api/gantt?${ds.answer}`);
    const from = Number(ds.from);
    const to = Number(ds.to);
    let meet = 0;
    for (const row of answer.rows) {
      if (!row.blocks.length && ds.idle !== '0') continue;
      meet += row.blocks.filter((b) => b.end >= from && b.start <= to).length;
    }
    assert(meet > 0, `${what}: the API has nothing in ${from}..${to}`);
    assert(Number(ds.drawn) === meet, `${what}: ${ds.drawn} bars drawn for the ${meet} entries of the API in ${from}..${to}`);
    return { from, to };
  }

  await check('the Gantt chart draws the whole run as the API answers it, bounded by its width', async () => {
    const { from, to } = await expectGanttMatchesApi('the whole run');
    assert(from === 0 && to === end, `the first view is ${from}..${to}, not the run 0..${end}`);
    const elements = await page.evaluate(() => document.getElementsByTagName('*').length);
    assert(elements < 3000, `the page holds ${elements} elements`);
    // The utilisation panel names the API's bottleneck of the same window.
    const u = await apiGet(`api/utilisation?from=0&to=${end}`);
    await page.waitForFunction(() => Number(document.querySelector('#utilisation').dataset.rows) > 0);
    const shown = await page.evaluate(() => document.querySelector('#utilisation').dataset.bottleneck);
    assert(u.bottleneck && shown === u.bottleneck, `the panel's bottleneck is ${shown}, the API's ${u.bottleneck}`);
  });

  await check('wheel zooms and drag pans the schedule; the bars drawn follow the API', async () => {
    const canvas = page.locator('#gantt .gantt-canvas');
    await canvas.scrollIntoViewIfNeeded();
    const box = await canvas.boundingBox();
    await page.mouse.move(box.x + box.width * 0.6, box.y + 60);
    for (let i = 0; i < 6; i += 1) await page.mouse.wheel(0, -300);
    await page.waitForFunction((e) => Number(document.querySelector('#gantt').dataset.to) - Number(document.querySelector('#gantt').dataset.from) < e / 10, end);
    await page.waitForTimeout(400);
    const zoomed = await expectGanttMatchesApi('zoomed in');
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.3, box.y + 60, { steps: 4 });
    await page.mouse.up();
    await page.waitForTimeout(400);
    const panned = await expectGanttMatchesApi('panned');
    assert(panned.from > zoomed.from && panned.to - panned.from === zoomed.to - zoomed.from, `pan moved ${JSON.stringify(zoomed)} to ${JSON.stringify(panned)}`);
    // The widest operation in view: its tooltip tells it, a click highlights
    // its batch and moves the time there.
    const ds = await page.evaluate(() => ({ ...document.querySelector('#gantt').dataset }));
    let bar = null;
    for (const row of (await apiGet(`api/gantt?${ds.answer}`)).rows) {
      for (const b of row.blocks) {
        const a = Math.max(b.start, panned.from);
        const w = Math.min(b.end, panned.to) - a;
        if (!b.count && w > (bar?.w ?? 0)) bar = { row: row.index, b, w, t: Math.round(a + w / 2) };
      }
    }
    assert(bar, `no operation in ${panned.from}..${panned.to}`);
    const at = await page.evaluate(([row, t]) => window.batchplantViewer.ganttPoint(row, t), [bar.row, bar.t]);
    await page.mouse.move(at.x, at.y);
    const tip = await page.textContent('#gantt .chart-tip');
    assert(tip.includes(`batch ${bar.b.batch}`) && tip.includes(bar.b.operation), `the tooltip says "${tip}" over ${JSON.stringify(bar.b)}`);
    await page.mouse.click(at.x, at.y);
    const slack = (2 * (panned.to - panned.from)) / box.width;
    await page.waitForFunction(([t, d]) => Math.abs(Number(document.body.dataset.time) - t) <= d, [bar.t, slack]);
    const highlight = await page.evaluate(() => document.querySelector('#gantt').dataset.highlightBatch);
    assert(highlight === String(bar.b.batch), `clicked batch ${bar.b.batch}'s bar, ${highlight || 'nothing'} highlighted`);
    await page.keyboard.press('End');
    const last = await page.evaluate(() => ({ ...document.querySelector('#gantt').dataset }));
    assert(Number(last.to) === end && Number(last.to) - Number(last.from) === panned.to - panned.from, `End shows ${last.from}..${last.to}`);
    await page.click('#zoom-all');
  });

  // Sample the run through the API: the times where a vessel's level differs
  // most, and a busy time for the screenshots.
  const samples = [];
  for (let i = 1; i <= 24; i += 1) {
    const t = Math.round((end * i) / 25);
    samples.push(await apiGet(`api/state?t=${t}`));
  }
  let best = null;
  for (const a of samples) {
    for (const b of samples) {
      if (b.time <= a.time) continue;
      for (const va of a.vessels) {
        const vb = b.vessels[va.index];
        const diff = Math.abs(vb.volume - va.volume);
        if (!best || diff > best.diff) best = { diff, vessel: va.index, t1: a.time, t2: b.time };
      }
    }
  }
  const busiest = samples.reduce((m, s) => {
    const score = s.vessels.filter((v) => v.active).length + s.streams.filter((x) => x.flowing).length;
    return !m || score > m.score ? { score, t: s.time } : m;
  }, null);

  const pageTime = () => page.evaluate(() => Number(document.body.dataset.time));
  async function moveSlider(t) {
    const want = await apiGet(`api/state?t=${t}`);
    await page.locator('#time-slider').fill(String(t));
    await page.waitForFunction((time) => Number(document.body.dataset.time) === time, want.time);
    return want;
  }

  await check('moving the time slider changes a vessel level as the API reports it', async () => {
    assert(best && best.diff > 0.05, 'no vessel changes its level over the run');
    const { vessel, t1, t2 } = best;
    const s1 = await moveSlider(t1);
    const level1 = await page.evaluate((v) => window.batchplantViewer.vesselLevel(v), vessel);
    const cursor1 = Number(await page.getAttribute('#gantt .time-cursor', 'data-x'));
    const s2 = await moveSlider(t2);
    const level2 = await page.evaluate((v) => window.batchplantViewer.vesselLevel(v), vessel);
    const cursor2 = Number(await page.getAttribute('#gantt .time-cursor', 'data-x'));
    const name = model.vessels[vessel].name;
    assert(Math.abs(level1 - s1.vessels[vessel].volume) < 1e-6, `${name} at ${t1}: drawn ${level1}, API ${s1.vessels[vessel].volume}`);
    assert(Math.abs(level2 - s2.vessels[vessel].volume) < 1e-6, `${name} at ${t2}: drawn ${level2}, API ${s2.vessels[vessel].volume}`);
    assert(Math.abs(level2 - level1) > 0.05, `${name}: level ${level1} at ${t1} and ${level2} at ${t2}`);
    assert(cursor2 > cursor1, `the Gantt cursor did not move right (${cursor1} → ${cursor2})`);
    const date = await page.textContent('#clock-date');
    const clock = s2.date.slice(11, 19);
    assert(date.includes(clock) && date.includes(s2.date.slice(0, 4)), `the clock shows "${date}" for ${s2.date}`);
    const ops = await page.$$eval('#operations li:not(.none)', (els) => els.map((e) => e.textContent));
    const want = [...new Set(s2.vessels.filter((v) => v.operation).map((v) => `${model.vessels[v.index].name}: ${v.operation}`))];
    assert(JSON.stringify(ops) === JSON.stringify(want), `running operations ${JSON.stringify(ops)} vs ${JSON.stringify(want)}`);
  });

  await check('clicking the Gantt chart moves the time there', async () => {
    await page.locator('#gantt .gantt-canvas').scrollIntoViewIfNeeded();
    const box = await page.locator('#gantt .gantt-canvas').boundingBox();
    const before = await pageTime();
    const x = box.x + box.width * 0.4;
    await page.mouse.click(x, box.y - 10);
    await page.waitForFunction((t) => Number(document.body.dataset.time) !== t, before);
    const cursor = Number(await page.getAttribute('#gantt .time-cursor', 'data-x'));
    assert(Math.abs(box.x + cursor - x) < 2, `cursor at ${box.x + cursor}, clicked at ${x}`);
    const slider = Number(await page.inputValue('#time-slider'));
    assert(slider === (await pageTime()), `slider ${slider} but page time ${await pageTime()}`);
  });

  await check('clicking a vessel selects it: the API says so and the info box names it', async () => {
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.click('#view-top');
    await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => r())));
    // From straight above, a vessel on the top floor whose footprint no other
    // vessel there overlaps is the first thing under its centre.
    const topZ = Math.max(...model.vessels.map((v) => v.z));
    const onTop = model.vessels.filter((v) => v.visible && v.z === topZ);
    const canvas = await page.locator('.scene-canvas').boundingBox();
    let target = null;
    for (const v of onTop) {
      const alone = onTop.every((o) => o === v || Math.hypot(o.x - v.x, o.y - v.y) > o.radius + v.radius + 0.05);
      if (!alone) continue;
      const p = await page.evaluate((pt) => window.batchplantViewer.project(pt), [v.x, v.y, v.z + v.height]);
      const inside = p.x > canvas.x + 80 && p.x < canvas.x + canvas.width - 120 && p.y > canvas.y + 60 && p.y < canvas.y + canvas.height - 50;
      if (inside) {
        target = { v, p };
        break;
      }
    }
    assert(target, 'no unobstructed vessel on the top floor to click');
    const answer = page.waitForResponse((r) => r.url().includes('/api/select'));
    await page.mouse.click(target.p.x, target.p.y);
    const selected = await (await answer).json();
    assert(selected.vesselSelected === true, `select answered ${JSON.stringify(selected)}`);
    assert(JSON.stringify(selected.selected.vessels) === JSON.stringify([target.v.index]), `selected ${JSON.stringify(selected.selected)}, clicked vessel ${target.v.index}`);
    const after = await apiGet('api/model');
    const flagged = after.vessels.filter((v) => v.selected).map((v) => v.index);
    assert(JSON.stringify(flagged) === JSON.stringify([target.v.index]), `the model marks ${JSON.stringify(flagged)} as selected`);
    const info = await apiGet(`api/info?item=${target.v.item}`);
    await page.waitForFunction((name) => document.querySelector('#info-box .info-name')?.textContent === name, info.name);
    const box = await page.textContent('#info-box');
    assert(box.includes(info.capacity), `the info box lacks the capacity "${info.capacity}"`);
    const state = await apiGet(`api/state?t=${await pageTime()}`);
    const vs = state.vessels[target.v.index];
    if (!vs.heating && !vs.cooling && !vs.reacting) {
      assert(String(selected.colours.vessels[String(target.v.index)]).toLowerCase() === '#ff0000', `the selected vessel is ${JSON.stringify(selected.colours)}, not red`);
    }
    const labelled = await page.$$eval('.vessel-label.selected', (els) => els.map((e) => e.textContent));
    assert(JSON.stringify(labelled) === JSON.stringify([target.v.name]), `highlighted labels ${JSON.stringify(labelled)}`);
    await page.click('#view-fit');
  });

  await check('a profile draws every point the API answers for its window; Properties are one group at a time', async () => {
    const { types } = await apiGet('api/composite/types');
    const labor = types.find((t) => t.name === 'Labor');
    await page.selectOption('#profile-type', String(labor.type));
    await page.waitForFunction((type) => !document.querySelector('#profile').classList.contains('loading') && document.querySelector('#profile').dataset.type === type, String(labor.type));
    const quantities = await page.$$eval('#profile-quantity option', (els) => els.map((e) => e.value));
    assert(JSON.stringify(quantities) === '["operators"]', `Labor offers ${JSON.stringify(quantities)}`);
    const ds = await page.evaluate(() => ({ ...document.querySelector('#profile').dataset }));
    const p = await apiGet(`api/composite/profile?type=${labor.type}&quantity=operators&perTime=0&${ds.answer}`);
    assert(p.points.length > 1 && Number(ds.points) === p.points.length, `${ds.points} points drawn, the API answers ${p.points.length}`);
    const properties = types.find((t) => t.name === 'Properties');
    await page.selectOption('#profile-type', String(properties.type));
    await page.waitForFunction((type) => document.querySelector('#profile').dataset.type === type, String(properties.type));
    const groups = await page.$$eval('#profile-group option', (els) => els.map((e) => e.textContent));
    assert(groups.length > 0 && !groups.some((g) => g.startsWith('All')), `Properties offer ${JSON.stringify(groups)}`);
  });

  await check('play runs the library clock forward and pause stops it', async () => {
    await moveSlider(Math.round(end * 0.3));
    const before = await pageTime();
    await page.click('#play-forward');
    await page.waitForFunction((t) => Number(document.body.dataset.time) > t, before);
    await page.click('#pause');
    await page.waitForFunction(() => !document.body.dataset.playing);
    const stopped = await pageTime();
    assert(stopped > before, `time ${before} → ${stopped}`);
  });

  await check('the page reports no errors', async () => {
    assert(pageErrors.length === 0, pageErrors.join('\n'));
  });

  if (shots) {
    await check('screenshots of the 3-D view and the charts', async () => {
      await moveSlider(busiest.t);
      await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(() => r()))));
      const top = await page.locator('.timebar').boundingBox();
      await page.screenshot({ path: path.join(shots, 'viewer-3d.png'), clip: { x: 0, y: 0, width: 1280, height: top.y + top.height + 12 } });
      const gantt = await page.locator('.chart-panel').first().boundingBox();
      const prof = await page.locator('.chart-panel').last().boundingBox();
      await page.screenshot({
        path: path.join(shots, 'viewer-gantt.png'),
        fullPage: true,
        clip: { x: 0, y: gantt.y - 12, width: 1280, height: prof.y + prof.height - gantt.y + 24 },
      });
      for (const f of ['viewer-3d.png', 'viewer-gantt.png']) assert(fs.statSync(path.join(shots, f)).size > 10_000, `${f} is nearly empty`);
    });
  }
}

let exitCode = 0;
try {
  await main();
} catch (err) {
  failed += 1;
  console.log(`not ok - the test could not run\n    ${String(err && err.stack ? err.stack : err).replace(/\n/g, '\n    ')}`);
} finally {
  for (const f of cleanups) {
    try {
      await f();
    } catch {
      // keep cleaning up
    }
  }
  await stopServer();
}
console.log(`${passed} passed, ${failed} failed`);
if (failed > 0 || passed === 0) exitCode = 1;
process.exit(exitCode);
