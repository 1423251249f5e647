// The composite profile chart, on a canvas under the Gantt chart and on its
// time axis: one step series (the server's sum of the choice), or each
// component of a group overlaid or stacked with a legend. The server reduces
// each series to the pixel columns of the window asked for, with the
// extremes of each column, which are drawn as a thin band.

import { api } from './api.js';
import { TimeAxis, formatElapsed } from './time.js';
import { answerDensity, cursorOverlay, FINE_ENOUGH, moveOverlay, PLOT_LEFT, PLOT_RIGHT_MARGIN } from './overlay.js';
import { attachNavigation, LateDraw } from './timeview.js';

const HEIGHT = 210;
const TOP = 14;
const BOTTOM = 26;
const MOST_SERIES = 8;
const COLOURS = ['#1f77b4', '#d62728', '#2ca02c', '#ff7f0e', '#9467bd', '#8c564b', '#e377c2', '#17becf'];

// What each type's values can be read as; the first is the default.
const QUANTITIES = {
  Labor: [['operators', 'Operators']],
  Utilities: [['duty', 'Heat duty'], ['mass', 'Mass'], ['volume', 'Volume']],
  Properties: [['mass', 'Value']],
};
const AMOUNTS = [['mass', 'Mass'], ['volume', 'Volume'], ['moles', 'Moles']];

function niceStep(span, count) {
  const raw = span / Math.max(1, count);
  const mag = 10 ** Math.floor(Math.log10(raw));
  const norm = raw / mag;
  return (norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10) * mag;
}

function formatValue(v) {
  const a = Math.abs(v);
  if (a !== 0 && (a >= 1e6 || a < 1e-3)) return v.toExponential(2);
  return Number(v.toFixed(a >= 100 ? 0 : a >= 1 ? 2 : 3)).toLocaleString('en');
}

function fillSelect(select, options, keep) {
  const previous = keep ? select.value : null;
  select.replaceChildren();
  for (const { value, label } of options) {
    const o = document.createElement('option');
    o.value = value;
    o.textContent = label;
    select.appendChild(o);
  }
  if (previous !== null && options.some((o) => String(o.value) === previous)) select.value = previous;
}

// The value a step series holds at t (points ascending), or null before it.
// The index of the first point at or after t.
function firstAtOrAfter(points, t) {
  let lo = 0;
  let hi = points.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (points[mid].t < t) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

function valueAt(points, t) {
  let lo = 0;
  let hi = points.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (points[mid].t <= t) lo = mid + 1;
    else hi = mid;
  }
  return lo > 0 ? Number(points[lo - 1].value) : null;
}

export class ProfileChart {
  constructor(container, controls, view, { onTime, onError } = {}) {
    this.container = container;
    this.controls = controls;
    this.view = view;
    this.onTime = onTime;
    this.onError = onError || (() => {});
    this.run = null;
    this.answer = null;
    this.types = [];
    this.time = 0;
    this.requestId = 0;
    this.canvas = document.createElement('canvas');
    this.canvas.className = 'profile-canvas';
    container.appendChild(this.canvas);
    this.legend = document.createElement('div');
    this.legend.className = 'profile-legend';
    container.appendChild(this.legend);
    this.cursor = cursorOverlay(container);
    this.cursor.style.height = `${HEIGHT - BOTTOM}px`;
    this.readout = cursorOverlay(container, 'readout');
    this.readout.style.top = `${TOP - 10}px`;
    attachNavigation(this.canvas, view, () => this.axis, (x) => this.axis && x >= PLOT_LEFT && this.onTime?.(this.axis.t(x)));
    new ResizeObserver(() => this.refresh()).observe(container);
    view.onChange(() => this.refresh());
    controls.type.addEventListener('change', () => this.loadGroups());
    controls.group.addEventListener('change', () => this.loadComponents());
    controls.component.addEventListener('change', () => this.load());
    controls.quantity.addEventListener('change', () => this.load());
    controls.perTime.addEventListener('change', () => this.load());
  }

  // `early` may hold the answers for the types and the first type's groups,
  // asked for while the page was still being built.
  async init(run, early = {}) {
    this.run = run;
    const { types } = await (early.types || api.compositeTypes());
    this.types = types;
    fillSelect(this.controls.type, types.map((t) => ({ value: t.type, label: t.name })));
    await this.loadGroups(early.groups);
  }

  typeName() {
    return this.types.find((t) => String(t.type) === this.controls.type.value)?.name || '';
  }

  // The quantities and the default "per time" follow the type; Properties
  // are one property group at a time, never a sum of different properties.
  async loadGroups(answer) {
    const type = this.controls.type.value;
    const name = this.typeName();
    const quantities = QUANTITIES[name] || AMOUNTS;
    fillSelect(this.controls.quantity, quantities.map(([value, label]) => ({ value, label })));
    this.controls.quantity.hidden = quantities.length < 2;
    this.controls.perTime.checked = !!this.types.find((t) => String(t.type) === type)?.rate;
    this.controls.perTime.parentElement.hidden = name === 'Properties' || name === 'Labor';
    try {
      const { groups } = await (answer || api.compositeGroups(type));
      const each = groups.map((g) => ({ value: g.id, label: g.name || (g.id < 0 ? 'Not in a group' : `Group ${g.id}`) }));
      fillSelect(this.controls.group, name === 'Properties' ? each : [{ value: '', label: `All groups (${groups.length})` }, ...each]);
    } catch (err) {
      this.onError(err);
      fillSelect(this.controls.group, [{ value: '', label: 'All groups' }]);
    }
    await this.loadComponents();
  }

  async loadComponents() {
    const group = this.controls.group.value;
    this.components = [];
    if (group === '') {
      fillSelect(this.controls.component, [{ value: '', label: 'All components' }]);
      this.controls.component.disabled = true;
      await this.load();
      return;
    }
    this.controls.component.disabled = false;
    const properties = this.typeName() === 'Properties';
    try {
      const { components } = await api.compositeComponents(this.controls.type.value, group);
      this.components = components;
      const many = components.length > 1;
      fillSelect(this.controls.component, [
        ...(properties ? [] : [{ value: '', label: `All components, summed (${components.length})` }]),
        ...(many ? [{ value: 'overlay', label: 'Each component, overlaid' }] : []),
        ...(many && !properties ? [{ value: 'stack', label: 'Each component, stacked' }] : []),
        ...components.map((c) => ({ value: c.id, label: c.name || `Component ${c.id}` })),
      ]);
    } catch (err) {
      this.onError(err);
      fillSelect(this.controls.component, [{ value: '', label: 'All components' }]);
    }
    await this.load();
  }

  width() {
    return this.container.clientWidth - PLOT_LEFT - PLOT_RIGHT_MARGIN;
  }

  refresh() {
    this.late ??= new LateDraw(() => this.draw());
    this.late.moved();
    this.draw();
    const a = this.answer;
    const v = this.view;
    const fine = a && a.px / (a.to - a.from) >= (FINE_ENOUGH * answerDensity() * this.width()) / v.span;
    if (!a || a.from > v.from || a.to < v.to || !fine) this.load();
  }

  // One request in flight; a newer wish is asked for when it returns.
  async load() {
    if (!this.run || !this.controls.type.value || this.width() < 20) return;
    if (this.loading) {
      this.wanted = true;
      return;
    }
    this.loading = true;
    const id = ++this.requestId;
    const c = this.controls;
    const v = this.view;
    const from = Math.max(0, Math.floor(v.from - v.span / 2));
    const to = Math.min(v.end, Math.ceil(v.to + v.span / 2));
    const several = c.component.value === 'overlay' || c.component.value === 'stack';
    this.container.classList.add('loading');
    const series = {
      type: c.type.value,
      group: c.group.value,
      component: several ? '' : c.component.value,
      components: several ? this.components.slice(0, MOST_SERIES).map((x) => x.id).join(',') : '',
      quantity: c.quantity.value,
      perTime: c.perTime.checked ? 1 : 0,
    };
    const key = JSON.stringify(series);
    // A finer answer of what is shown already may wait for a pause in the
    // zooming; another series or an uncovered view is drawn at once.
    let late = false;
    try {
      const answer = await api.compositeProfile({
        ...series,
        from,
        to: Math.max(to, from + 1),
        px: Math.min(8192, Math.max(1, Math.round((answerDensity() * this.width() * (to - from)) / v.span))),
      });
      if (id === this.requestId) {
        const a = this.answer;
        late = !!a && this.answerKey === key && a.from <= v.from && a.to >= v.to;
        this.answerKey = key;
        this.answer = answer;
        this.mode = several ? c.component.value : 'sum';
        this.error = null;
      }
    } catch (err) {
      this.answer = null;
      this.error = err.message;
      this.onError(err);
    } finally {
      this.loading = false;
      this.container.classList.remove('loading');
    }
    if (late && this.late) {
      this.late.soon();
    } else {
      this.late?.cancel();
      this.draw();
    }
    if (this.wanted) {
      this.wanted = false;
      this.load();
    }
  }

  setTime(t) {
    this.time = t;
    this.placeCursor();
  }

  series() {
    const a = this.answer;
    if (!a) return [];
    if (this.mode !== 'sum' && a.series) return a.series.map((s) => ({ name: s.name, points: s.points }));
    return [{ name: this.typeName(), points: a.points || [] }];
  }

  draw() {
    const width = this.container.clientWidth;
    if (!this.run || width < 50) return;
    const dpr = window.devicePixelRatio || 1;
    const c = this.canvas;
    if (c.width !== Math.round(width * dpr) || c.height !== Math.round(HEIGHT * dpr)) {
      c.width = Math.round(width * dpr);
      c.height = Math.round(HEIGHT * dpr);
      c.style.width = `${width}px`;
      c.style.height = `${HEIGHT}px`;
    }
    // A CPU-backed canvas: thousands of small rectangles a frame draw faster
    // there than as a GPU command stream, and far faster on software GL.
    const g = c.getContext('2d', { willReadFrequently: true });
    g.setTransform(dpr, 0, 0, dpr, 0, 0);
    g.clearRect(0, 0, width, HEIGHT);
    const v = this.view;
    const axis = new TimeAxis(this.run.start, v.from, v.to, PLOT_LEFT, width - PLOT_RIGHT_MARGIN);
    this.axis = axis;
    const bottom = HEIGHT - BOTTOM;
    g.font = '11px system-ui, sans-serif';
    for (const tick of axis.ticks(110)) {
      g.fillStyle = tick.major ? 'rgba(69, 90, 100, 0.3)' : 'rgba(69, 90, 100, 0.13)';
      g.fillRect(Math.round(tick.x), TOP, 1, bottom - TOP);
      g.fillStyle = '#455a64';
      if (tick.x + 3 + g.measureText(tick.label).width <= width) g.fillText(tick.label, tick.x + 3, bottom + 16);
    }
    g.fillStyle = '#90a4ae';
    g.fillRect(axis.left, bottom, axis.right - axis.left, 1);

    const series = this.series();
    const stacked = this.mode === 'stack';
    // Stacked: each series drawn on the sum of those before it.
    const inView = (p, i, pts) => (pts[i + 1]?.t ?? Infinity) >= v.from && p.t <= v.to;
    const base = series.map(() => []);
    if (stacked) {
      for (let k = 1; k < series.length; k += 1)
        base[k] = series[k].points.map((p) => valueAt(series[k - 1].points, p.t) + (valueAt(base[k - 1], p.t) ?? 0)).map((value, i) => ({ t: series[k].points[i].t, value }));
    }
    let lo = 0;
    let hi = 0;
    series.forEach((s, k) =>
      s.points.forEach((p, i, pts) => {
        if (!inView(p, i, pts)) return;
        const b = stacked ? valueAt(base[k], p.t) ?? 0 : 0;
        lo = Math.min(lo, b + Number(p.min ?? p.value));
        hi = Math.max(hi, b + Number(p.max ?? p.value));
      }),
    );
    const total = series.reduce((n, s) => n + s.points.length, 0);
    this.container.dataset.points = String(total);
    if (this.answer) {
      this.container.dataset.answer = `from=${this.answer.from}&to=${this.answer.to}&px=${this.answer.px}`;
      this.container.dataset.type = String(this.answer.type);
    }
    this.container.dataset.series = String(series.length);
    if (!total) {
      g.fillStyle = '#78909c';
      g.fillText(this.error || 'No profile for this choice.', PLOT_LEFT + 12, TOP + 40);
    } else {
      if (hi - lo < 1e-12) hi = lo + 1;
      const step = niceStep(hi - lo, 4);
      lo = Math.floor(lo / step) * step;
      hi = Math.ceil(hi / step) * step;
      const y = (value) => bottom - ((bottom - TOP) * (value - lo)) / (hi - lo);
      g.textAlign = 'right';
      for (let value = lo; value <= hi + step / 2; value += step) {
        g.fillStyle = 'rgba(69, 90, 100, 0.13)';
        g.fillRect(PLOT_LEFT, Math.round(y(value)), axis.right - axis.left, 1);
        g.fillStyle = '#455a64';
        g.fillText(formatValue(value), PLOT_LEFT - 8, y(value) + 4);
      }
      g.textAlign = 'left';
      g.fillText(this.answer.valueUnit || '', 10, TOP + 10);
      g.save();
      g.beginPath();
      g.rect(axis.left, TOP - 2, axis.right - axis.left, bottom - TOP + 4);
      g.clip();
      series.forEach((s, k) => {
        const colour = series.length > 1 ? COLOURS[k % COLOURS.length] : '#1f77b4';
        const lift = (t) => (stacked ? valueAt(base[k], t) ?? 0 : 0);
        // Only the points in view (and the one before it) are drawn: the
        // answer spans a screen either side, and a long path costs the
        // canvas its full length however much of it the clip hides.
        const pts = s.points;
        const first = Math.max(0, firstAtOrAfter(pts, v.from) - 1);
        const last = Math.min(pts.length, firstAtOrAfter(pts, v.to) + 1);
        const px = (p) => Math.round(axis.x(Math.max(p.t, v.from - v.span))) + 0.5;
        // The step line as whole-pixel rectangles, 2 px thick: a stroked
        // path of thousands of steps is blended along every edge, and that
        // costs the canvas several times the rest of the chart.
        const line = [];
        let at = null;
        for (let i = first; i < last; i += 1) {
          const p = pts[i];
          const x = px(p) - 0.5;
          const level = Math.round(y(lift(p.t) + Number(p.value)));
          if (at !== null) {
            const before = Math.round(y(lift(p.t) + Number(pts[i - 1].value)));
            if (before === at.level && level === at.level) continue;
            line.push([at.x, at.level - 1, x - at.x + 1, 2]);
            if (before !== at.level) line.push([x - 1, Math.min(at.level, before) - 1, 2, Math.abs(before - at.level) + 2]);
            if (level !== before) line.push([x - 1, Math.min(before, level) - 1, 2, Math.abs(level - before) + 2]);
          }
          at = { x, level };
        }
        if (at !== null) {
          const end = Math.round(y(lift(v.to) + Number(pts[last - 1].value)));
          if (end !== at.level) line.push([at.x - 1, Math.min(at.level, end) - 1, 2, Math.abs(end - at.level) + 2]);
          line.push([at.x, end - 1, axis.right + 1 - at.x, 2]);
        }
        // Stacked, each series is the band between its base and its top.
        if (stacked) {
          const band = new Path2D();
          for (let i = first; i < last; i += 1) {
            const p = pts[i];
            const x0 = px(p) - 0.5;
            const x1 = i + 1 < pts.length ? Math.round(axis.x(pts[i + 1].t)) : axis.right + 1;
            const y0 = y(lift(p.t));
            const y1 = y(lift(p.t) + Number(p.value));
            if (x1 > axis.left && x0 < axis.right) band.rect(x0, y1, x1 - x0, y0 - y1);
          }
          g.fillStyle = colour;
          g.globalAlpha = 0.25;
          g.fill(band);
          g.globalAlpha = 1;
        }
        g.fillStyle = colour;
        for (const [x, y0, w, h] of line) g.fillRect(x, y0, w, h);
        // A column's extremes, where the server merged several points.
        const extremes = new Path2D();
        for (let i = first; i < last; i += 1) {
          const p = pts[i];
          if (p.min === undefined) continue;
          const top = Math.round(y(lift(p.t) + Number(p.max)));
          extremes.rect(px(p) - 0.5, top, 1, Math.max(1, Math.round(y(lift(p.t) + Number(p.min))) - top));
        }
        g.fillStyle = colour;
        g.globalAlpha = 0.45;
        g.fill(extremes);
        g.globalAlpha = 1;
      });
      g.restore();
    }
    this.legend.replaceChildren(
      ...(series.length > 1
        ? series.map((s, k) => {
            const span = document.createElement('span');
            const swatch = document.createElement('i');
            swatch.style.background = COLOURS[k % COLOURS.length];
            span.append(swatch, s.name || `Component ${k + 1}`);
            return span;
          })
        : []),
    );
    this.placeCursor();
  }

  placeCursor() {
    if (!this.axis) return;
    const x = this.axis.x(this.time);
    const inside = this.time >= this.view.from && this.time <= this.view.to;
    this.cursor.hidden = !inside;
    this.readout.hidden = !inside;
    moveOverlay(this.cursor, x);
    const series = this.series();
    const value = series.length === 1 ? valueAt(series[0].points, this.time) : null;
    this.readout.textContent =
      value === null ? '' : `${formatValue(value)} ${this.answer?.valueUnit || ''} at ${formatElapsed(this.time)}`;
    const right = x > this.container.clientWidth - 220;
    this.readout.classList.toggle('left-of', right);
    moveOverlay(this.readout, right ? x - 6 : x + 6);
  }
}
