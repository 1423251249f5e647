// The Gantt chart, drawn on a canvas from the server's level-of-detail
// answers: rows grouped by plant, a bar per operation in its batch's colour
// (runs of operations narrower than a pixel come as spans), the stretches in
// which a vessel holds material, its non-working time, a date axis, and the
// animation time as a cursor. It zooms and pans with the shared TimeView and
// asks only for the window it shows (and half a screen either side, so
// that small steps need no request).

import { TimeAxis, formatElapsed, formatRunDate } from './time.js';
import { answerDensity, cursorOverlay, FINE_ENOUGH, moveOverlay, PLOT_LEFT, PLOT_RIGHT_MARGIN } from './overlay.js';
import { attachNavigation, LateDraw } from './timeview.js';

const ROW = 22;
const GROUP = 20;
const AXIS = 24;
const MIXED = '#8c8c8c';

export class GanttChart {
  constructor(container, view, { onTime, fetch, onError } = {}) {
    this.container = container;
    this.view = view;
    this.onTime = onTime;
    this.fetch = fetch;
    this.onError = onError || (() => {});
    this.answer = null;
    this.time = 0;
    this.selectedIds = new Set();
    this.collapsed = new Set();
    this.showIdle = false;
    this.highlight = null;
    this.lines = [];
    this.late = new LateDraw(() => this.draw());
    // The axis is a canvas of its own that sticks to the top while the rows
    // scroll under it.
    this.axisCanvas = document.createElement('canvas');
    this.axisCanvas.className = 'gantt-axis';
    container.appendChild(this.axisCanvas);
    this.canvas = document.createElement('canvas');
    this.canvas.className = 'gantt-canvas';
    this.canvas.tabIndex = 0;
    this.canvas.setAttribute('aria-label', 'Gantt chart: wheel or +/- to zoom, drag or arrows to pan');
    container.appendChild(this.canvas);
    this.tip = document.createElement('div');
    this.tip.className = 'chart-tip';
    this.tip.hidden = true;
    container.appendChild(this.tip);
    this.cursor = cursorOverlay(container);
    attachNavigation(this.canvas, view, () => this.axis, (x, e) => this.click(x, e.clientY));
    attachNavigation(this.axisCanvas, view, () => this.axis, (x) => x >= PLOT_LEFT && this.axis && this.onTime?.(this.axis.t(x)));
    this.canvas.addEventListener('mousemove', (e) => this.hover(e));
    this.canvas.addEventListener('mouseleave', () => (this.tip.hidden = true));
    view.onChange(() => this.refresh());
    new ResizeObserver(() => this.refresh()).observe(container);
  }

  // Rows are grouped by the plant of their vessel's floor.
  setModel(model) {
    this.plantOf = new Map();
    for (const v of model.vessels) {
      const floor = model.floors[v.floor];
      this.plantOf.set(v.id, floor?.plant || floor?.name || 'Other equipment');
    }
  }

  // The first answer, of the whole run, also says which rows ever work.
  setData(answer) {
    this.answer = answer;
    this.start = answer.start;
    this.busy = new Set(answer.rows.filter((r) => r.blocks.length > 0).map((r) => r.index));
    this.layout();
    this.draw();
  }

  setShowIdle(on) {
    this.showIdle = on;
    this.layout();
    this.draw();
  }

  setTime(t) {
    this.time = t;
    this.placeCursor();
  }

  setSelectedVesselIds(ids) {
    this.selectedIds = new Set(ids);
    this.draw();
  }

  refresh() {
    this.late.moved();
    this.draw();
    this.request();
  }

  // Display lines: a header per plant, then its rows unless collapsed.
  layout() {
    const rows = this.answer?.rows || [];
    const groups = new Map();
    for (const row of rows) {
      if (!this.showIdle && !this.busy.has(row.index)) continue;
      const plant = this.plantOf?.get(row.id) || 'Equipment';
      if (!groups.has(plant)) groups.set(plant, []);
      groups.get(plant).push(row.index);
    }
    this.lines = [];
    for (const [plant, indices] of groups) {
      this.lines.push({ kind: 'group', plant, count: indices.length });
      if (!this.collapsed.has(plant)) for (const index of indices) this.lines.push({ kind: 'row', index });
    }
    this.idle = rows.length - (this.busy?.size || 0);
  }

  // Asks for the view and a screen on either side at the canvas's
  // resolution, unless the answer in hand covers it at least as finely.
  request() {
    if (!this.answer || !this.fetch) return;
    const width = this.container.clientWidth - PLOT_LEFT - PLOT_RIGHT_MARGIN;
    if (width < 20) return;
    const v = this.view;
    const a = this.answer;
    const fine = a.px / (a.to - a.from) >= (FINE_ENOUGH * answerDensity() * width) / v.span;
    if (a.from <= v.from && a.to >= v.to && fine) return;
    const from = Math.max(0, Math.floor(v.from - v.span / 2));
    const to = Math.min(v.end, Math.ceil(v.to + v.span / 2));
    const px = Math.min(8192, Math.max(1, Math.round((answerDensity() * width * (to - from)) / v.span)));
    if (this.inFlight) {
      this.wanted = true;
      return;
    }
    this.inFlight = true;
    this.fetch({ from, to: Math.max(to, from + 1), px })
      .then((answer) => {
        const v = this.view;
        const shown = this.answer && this.answer.from <= v.from && this.answer.to >= v.to;
        this.answer = answer;
        this.late.soon(!shown);
      })
      .catch((err) => this.onError(err))
      .finally(() => {
        this.inFlight = false;
        if (this.wanted) {
          this.wanted = false;
          this.request();
        }
      });
  }

  draw() {
    const width = this.container.clientWidth;
    if (!this.answer || width < 50) return;
    const height = this.lines.reduce((h, l) => h + (l.kind === 'group' ? GROUP : ROW), 0) + 2;
    // A CPU-backed canvas: thousands of small rectangles a frame draw faster
    // there than as a GPU command stream, and far faster on software GL.
    const g = fit(this.canvas, width, height, { willReadFrequently: true });
    const ga = fit(this.axisCanvas, width, AXIS);
    const v = this.view;
    const axis = new TimeAxis(this.start, v.from, v.to, PLOT_LEFT, width - PLOT_RIGHT_MARGIN);
    this.axis = axis;
    const x = (t) => Math.min(axis.right + 1, Math.max(axis.left - 1, axis.x(t)));
    const ticks = axis.ticks(110);

    g.font = '11px system-ui, sans-serif';
    g.textBaseline = 'middle';
    let y = 0;
    let drawn = 0;
    const rows = this.answer.rows;
    this.lines.forEach((line, i) => {
      if (line.kind === 'group') {
        g.fillStyle = '#e4e9f0';
        g.fillRect(0, y, width, GROUP);
        g.fillStyle = '#26374d';
        g.font = '600 11px system-ui, sans-serif';
        g.fillText(`${this.collapsed.has(line.plant) ? '▸' : '▾'} ${line.plant} (${line.count})`, 8, y + GROUP / 2);
        g.font = '11px system-ui, sans-serif';
        y += GROUP;
        return;
      }
      const row = rows[line.index];
      g.fillStyle = i % 2 ? '#f6f8fa' : '#ffffff';
      g.fillRect(0, y, width, ROW);
      g.fillStyle = this.selectedIds.has(row.id) ? '#c62828' : '#263238';
      g.font = this.selectedIds.has(row.id) ? '600 11px system-ui, sans-serif' : '11px system-ui, sans-serif';
      g.save();
      g.beginPath();
      g.rect(0, y, PLOT_LEFT - 6, ROW);
      g.clip();
      g.fillText(row.name, 10, y + ROW / 2);
      g.restore();
      g.save();
      g.beginPath();
      g.rect(axis.left, y, axis.right - axis.left, ROW);
      g.clip();
      const pen = new Pen(g);
      let outlines = null;
      for (const s of row.nonWorking || []) {
        if (s.end < v.from || s.start > v.to) continue;
        pen.bar('rgba(160, 170, 185, 0.35)', 1, x(s.start), y, x(s.end) - x(s.start), ROW);
      }
      for (const s of row.inUse || []) {
        if (s.end < v.from || s.start > v.to) continue;
        pen.bar('#b9c3d6', 1, x(s.start), y + 7, x(s.end) - x(s.start), ROW - 14);
      }
      for (const b of row.blocks || []) {
        if (b.end < v.from || b.start > v.to) continue;
        const x0 = x(b.start);
        const w = Math.max(1, x(b.end) - x0);
        const lit = this.highlight === null || batchesOf(b).includes(this.highlight);
        const fill = b.count ? (b.batches.length === 1 ? b.colour : MIXED) : b.colour;
        pen.bar(fill, lit ? 1 : 0.4, x0, y + 3, w, ROW - 6);
        if (this.highlight !== null && lit && w >= 6) {
          pen.flush();
          g.globalAlpha = 1;
          g.strokeStyle = '#111';
          g.lineWidth = 2;
          g.strokeRect(x0 + 1, y + 4, w - 2, ROW - 8);
        } else if (this.highlight !== null && lit) {
          // Too narrow to outline without hiding its colour: marks above
          // and below instead.
          pen.bar('#111', 1, x0, y + 1, w, 2);
          pen.bar('#111', 1, x0, y + ROW - 3, w, 2);
        } else if (w >= 4) {
          // The row's outlines are stroked once, after its bars.
          outlines ??= new Path2D();
          outlines.rect(x0 + 0.25, y + 3.25, w - 0.5, ROW - 6.5);
        }
        drawn += 1;
      }
      pen.flush();
      if (outlines) {
        g.globalAlpha = 1;
        g.strokeStyle = 'rgba(0, 0, 0, 0.35)';
        g.lineWidth = 0.5;
        g.stroke(outlines);
      }
      g.globalAlpha = 1;
      g.restore();
      y += ROW;
    });

    // The axis, its grid through every row.
    ga.fillStyle = '#ffffff';
    ga.fillRect(0, 0, width, AXIS);
    ga.font = '11px system-ui, sans-serif';
    for (const tick of ticks) {
      const tx = Math.round(tick.x);
      g.fillStyle = tick.major ? 'rgba(69, 90, 100, 0.35)' : 'rgba(69, 90, 100, 0.15)';
      g.fillRect(tx, 0, 1, height);
      ga.fillStyle = g.fillStyle;
      ga.fillRect(tx, AXIS - 4, 1, 4);
      ga.fillStyle = '#455a64';
      if (tick.x + 3 + ga.measureText(tick.label).width <= width) ga.fillText(tick.label, tick.x + 3, AXIS - 8);
    }
    ga.fillStyle = '#90a4ae';
    ga.fillRect(axis.left, AXIS - 1, axis.right - axis.left, 1);
    if (!this.lines.length) {
      g.fillStyle = '#78909c';
      g.fillText('No equipment works in this run.', axis.left + 12, 20);
    }
    this.cursor.style.height = `${AXIS + height}px`;
    const ds = this.container.dataset;
    ds.from = String(Math.round(v.from));
    ds.to = String(Math.round(v.to));
    ds.drawn = String(drawn);
    ds.answer = `from=${this.answer.from}&to=${this.answer.to}&px=${this.answer.px}`;
    ds.idle = String(this.idle || 0);
    this.placeCursor();
  }

  placeCursor() {
    if (!this.axis) return;
    const inside = this.time >= this.view.from && this.time <= this.view.to;
    this.cursor.hidden = !inside;
    moveOverlay(this.cursor, this.axis.x(this.time));
  }

  // Where time t of a row is on the screen (null when the row is not shown),
  // for tools and tests that want to point at a bar.
  pointOf(rowIndex, t) {
    if (!this.axis) return null;
    let y = 0;
    for (const line of this.lines) {
      if (line.kind === 'row' && line.index === rowIndex) {
        const box = this.canvas.getBoundingClientRect();
        return { x: box.left + this.axis.x(t), y: box.top + y + ROW / 2 };
      }
      y += line.kind === 'group' ? GROUP : ROW;
    }
    return null;
  }

  // The line and the entry under a point of the canvas.
  hit(px, py) {
    let y = 0;
    for (const line of this.lines) {
      const h = line.kind === 'group' ? GROUP : ROW;
      if (py >= y && py < y + h) {
        if (line.kind === 'group' || px < PLOT_LEFT) return { line };
        const row = this.answer.rows[line.index];
        const slack = (1.5 * this.view.span) / (this.axis.right - this.axis.left);
        const t = this.axis.t(px);
        const block = (row.blocks || []).find((b) => b.start - slack <= t && b.end + slack >= t);
        return { line, row, block, t };
      }
      y += h;
    }
    return {};
  }

  hover(e) {
    if (!this.axis) return;
    const box = this.canvas.getBoundingClientRect();
    const { row, block } = this.hit(e.clientX - box.left, e.clientY - box.top);
    if (!block) {
      this.tip.hidden = true;
      return;
    }
    const from = formatRunDate(this.start, block.start);
    let to = formatRunDate(this.start, block.end);
    // The end's date only where it is another day.
    if (to.slice(0, -6) === from.slice(0, -6)) to = to.slice(-5);
    const when = `${from} – ${to} (${formatElapsed(block.end - block.start)})`;
    const lines = block.count
      ? [`${row.name}: ${block.count} operations`, batchText(block.batches), when]
      : [`${row.name}: batch ${block.batch}${block.empty ? ' (empty vessel)' : ''}`, [block.step, block.operation].filter(Boolean).join(' · '), block.text, when];
    this.tip.textContent = lines.filter(Boolean).join('\n');
    this.tip.hidden = false;
    const cbox = this.container.getBoundingClientRect();
    const left = Math.min(e.clientX - cbox.left + 12, cbox.width - 280);
    const top = e.clientY - cbox.top + this.container.scrollTop + 14;
    this.tip.style.transform = `translate(${Math.max(0, left)}px, ${top}px)`;
  }

  click(px, clientY) {
    const { line, block, t } = this.hit(px, clientY - this.canvas.getBoundingClientRect().top);
    if (line?.kind === 'group') {
      if (this.collapsed.has(line.plant)) this.collapsed.delete(line.plant);
      else this.collapsed.add(line.plant);
      this.layout();
      this.draw();
      return;
    }
    if (px < PLOT_LEFT || !this.axis) return;
    const batches = block ? batchesOf(block) : [];
    this.highlight = batches.length === 1 ? batches[0] : null;
    this.container.dataset.highlightBatch = this.highlight === null ? '' : String(this.highlight);
    this.draw();
    this.onTime?.(t ?? this.axis.t(px));
  }
}

// Sizes a canvas to CSS pixels at the display's resolution; its context
// draws in CSS pixels, cleared.
// Filled bars on whole pixels, the fill style set only when it changes.
// Edges that fall between pixels are blended (anti-aliased), and for the
// thousands of slivers of a zoomed-out row that blending is most of what
// the canvas spends on a frame.
// Fills whole-pixel bars, setting the style only when it changes. Over a
// long span most bars are a pixel or two wide, so bars on one line are
// joined: one of the same style that touches or overlaps the bar in hand
// extends it, and one of another style gets only the pixels the bar in
// hand has not (a pixel shared by several bars shows the first).
class Pen {
  constructor(g) {
    this.g = g;
    this.style = null;
    this.run = null;
  }

  bar(style, alpha, x, y, w, h) {
    let x0 = Math.round(x);
    const x1 = Math.max(x0 + 1, Math.round(x + w));
    const r = this.run;
    if (r && r.y === y && r.h === h && x0 >= r.x0 && x0 <= r.x1) {
      if (r.style === style && r.alpha === alpha) {
        if (x1 > r.x1) r.x1 = x1;
        return;
      }
      if (x1 <= r.x1) return;
      x0 = r.x1;
    }
    this.flush();
    this.run = { style, alpha, x0, x1, y, h };
  }

  // Draws what is held; call before drawing on the context directly.
  flush() {
    const r = this.run;
    if (!r) return;
    this.run = null;
    const g = this.g;
    if (r.style !== this.style) g.fillStyle = this.style = r.style;
    if (r.alpha !== g.globalAlpha) g.globalAlpha = r.alpha;
    g.fillRect(r.x0, r.y, r.x1 - r.x0, r.h);
  }
}

function fit(canvas, width, height, options) {
  const dpr = window.devicePixelRatio || 1;
  if (canvas.width !== Math.round(width * dpr) || canvas.height !== Math.round(height * dpr)) {
    canvas.width = Math.round(width * dpr);
    canvas.height = Math.round(height * dpr);
    canvas.style.width = `${width}px`;
    canvas.style.height = `${height}px`;
  }
  const g = canvas.getContext('2d', options);
  g.setTransform(dpr, 0, 0, dpr, 0, 0);
  g.clearRect(0, 0, width, height);
  return g;
}

const batchesOf = (b) => (b.count ? b.batches : [b.batch]);

function batchText(batches) {
  if (batches.length === 1) return `batch ${batches[0]}`;
  const run = batches.at(-1) - batches[0] + 1 === batches.length;
  return run ? `batches ${batches[0]}–${batches.at(-1)}` : `batches ${batches.slice(0, 12).join(', ')}${batches.length > 12 ? ' …' : ''}`;
}
