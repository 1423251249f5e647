// The composite profile chart: the chosen type, group, component and
// quantity summed by the server into one step series, drawn below the
// Gantt chart on the same time axis.

import { api } from './api.js';
import { TimeAxis, formatElapsed } from './time.js';
import { svgEl, svgText, svgTitle, PLOT_LEFT, PLOT_RIGHT_MARGIN, cursorOverlay, moveOverlay } from './svg.js';

const HEIGHT = 210;
const TOP = 14;
const BOTTOM = 26;

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

export class ProfileChart {
  constructor(container, controls, { onTime, onError } = {}) {
    this.container = container;
    this.controls = controls;
    this.onTime = onTime;
    this.onError = onError || (() => {});
    this.run = null;
    this.profile = null;
    this.rateTypes = new Set();
    this.time = 0;
    this.requestId = 0;
    new ResizeObserver(() => this.draw()).observe(container);
    controls.type.addEventListener('change', () => this.loadGroups());
    controls.group.addEventListener('change', () => this.loadComponents());
    controls.component.addEventListener('change', () => this.loadProfile());
    controls.quantity.addEventListener('change', () => this.loadProfile());
    controls.perTime.addEventListener('change', () => this.loadProfile());
  }

  async init(run) {
    this.run = run;
    const { types } = await api.compositeTypes();
    fillSelect(this.controls.type, types.map((t) => ({ value: t.type, label: t.name })));
    this.rateTypes = new Set(types.filter((t) => t.rate).map((t) => String(t.type)));
    await this.loadGroups();
  }

  // Rates are shown per time unit by default; levels and values as they are.
  defaultPerTime() {
    this.controls.perTime.checked = this.rateTypes.has(this.controls.type.value);
  }

  async loadGroups() {
    this.defaultPerTime();
    const type = this.controls.type.value;
    try {
      const { groups } = await api.compositeGroups(type);
      fillSelect(this.controls.group, [{ value: '', label: `All groups (${groups.length})` }, ...groups.map((g) => ({ value: g.id, label: g.name }))]);
    } catch (err) {
      this.onError(err);
      fillSelect(this.controls.group, [{ value: '', label: 'All groups' }]);
    }
    await this.loadComponents();
  }

  // Components are listed per group; with all groups chosen the profile
  // sums every component.
  async loadComponents() {
    const type = this.controls.type.value;
    const group = this.controls.group.value;
    if (group === '') {
      fillSelect(this.controls.component, [{ value: '', label: 'All components' }]);
      this.controls.component.disabled = true;
      await this.loadProfile();
      return;
    }
    this.controls.component.disabled = false;
    try {
      const { components } = await api.compositeComponents(type, group);
      fillSelect(this.controls.component, [
        { value: '', label: `All components (${components.length})` },
        ...components.map((c) => ({ value: c.id, label: c.name })),
      ]);
    } catch (err) {
      this.onError(err);
      fillSelect(this.controls.component, [{ value: '', label: 'All components' }]);
    }
    await this.loadProfile();
  }

  async loadProfile() {
    const id = ++this.requestId;
    const c = this.controls;
    this.container.classList.add('loading');
    try {
      const profile = await api.compositeProfile({
        type: c.type.value,
        group: c.group.value,
        component: c.component.value,
        quantity: c.quantity.value,
        perTime: c.perTime.checked ? 1 : 0,
      });
      if (id !== this.requestId) return; // a newer choice is on its way
      this.profile = profile;
      this.draw();
    } catch (err) {
      if (id !== this.requestId) return;
      this.profile = null;
      this.draw(err.message);
      this.onError(err);
    } finally {
      if (id === this.requestId) this.container.classList.remove('loading');
    }
  }

  setTime(t) {
    this.time = t;
    this.placeCursor();
  }

  draw(message) {
    const width = this.container.clientWidth;
    if (!this.run || width < 50) return;
    this.container.replaceChildren();
    const svg = svgEl('svg', { class: 'profile', width, height: HEIGHT, viewBox: `0 0 ${width} ${HEIGHT}` }, this.container);
    this.svg = svg;
    const axis = new TimeAxis(this.run.start, this.run.end, PLOT_LEFT, width - PLOT_RIGHT_MARGIN);
    this.axis = axis;
    const bottom = HEIGHT - BOTTOM;
    const points = this.profile?.points || [];

    for (const tick of axis.ticks()) {
      svgEl('line', { class: tick.major ? 'grid major' : 'grid', x1: tick.x, x2: tick.x, y1: TOP, y2: bottom }, svg);
      svgText(tick.label, { class: 'tick', x: tick.x + 3, y: bottom + 16 }, svg);
    }
    svgEl('line', { class: 'axis-line', x1: PLOT_LEFT, x2: width - PLOT_RIGHT_MARGIN, y1: bottom, y2: bottom }, svg);

    if (!points.length) {
      svgText(message || 'No profile for this choice.', { class: 'empty-note', x: PLOT_LEFT + 12, y: TOP + 40 }, svg);
    } else {
      const values = points.map((p) => Number(p.value) || 0);
      let lo = Math.min(0, ...values);
      let hi = Math.max(0, ...values);
      if (hi - lo < 1e-12) hi = lo + 1;
      const step = niceStep(hi - lo, 4);
      lo = Math.floor(lo / step) * step;
      hi = Math.ceil(hi / step) * step;
      const y = (v) => bottom - ((bottom - TOP) * (v - lo)) / (hi - lo);
      for (let v = lo; v <= hi + step / 2; v += step) {
        svgEl('line', { class: 'grid', x1: PLOT_LEFT, x2: width - PLOT_RIGHT_MARGIN, y1: y(v), y2: y(v) }, svg);
        svgText(formatValue(v), { class: 'tick value', x: PLOT_LEFT - 8, y: y(v) + 4 }, svg);
      }
      // The server's unit already carries "/time" when the values are per time.
      const unit = this.profile.valueUnit || '';
      svgText(unit, { class: 'unit', x: 10, y: TOP + 10 }, svg);

      // Each value holds from its time to the next point's time; the last
      // one to the end of the run.
      const xs = points.map((p) => axis.x(Math.min(Math.max(0, p.t), axis.end)));
      let d = `M ${xs[0].toFixed(1)} ${y(values[0]).toFixed(1)}`;
      for (let i = 1; i < points.length; i += 1) {
        d += ` H ${xs[i].toFixed(1)} V ${y(values[i]).toFixed(1)}`;
      }
      d += ` H ${axis.x(Math.max(axis.end, points.at(-1).t)).toFixed(1)}`;
      const area = `${d} V ${y(Math.max(lo, 0)).toFixed(1)} H ${xs[0].toFixed(1)} Z`;
      svgEl('path', { class: 'profile-area', d: area }, svg);
      const line = svgEl('path', { class: 'profile-line', d, 'data-points': points.length }, svg);
      svgTitle(`${this.controls.type.selectedOptions[0]?.textContent || ''} — ${this.profile.quantity}`, line);
    }

    this.cursor = cursorOverlay(this.container);
    this.cursor.style.height = `${bottom}px`;
    this.readout = cursorOverlay(this.container, 'readout');
    this.readout.style.top = `${TOP - 10}px`;
    this.placeCursor();
    svg.addEventListener('click', (e) => {
      const x = e.clientX - svg.getBoundingClientRect().left;
      if (x >= PLOT_LEFT && this.onTime) this.onTime(axis.t(x));
    });
  }

  // The value at the cursor: the last point at or before the time (points
  // come in time order; a binary search keeps a playing frame cheap).
  placeCursor() {
    if (!this.cursor || !this.axis) return;
    const x = this.axis.x(this.time);
    moveOverlay(this.cursor, x);
    const points = this.profile?.points || [];
    let lo = 0;
    let hi = points.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (points[mid].t <= this.time) lo = mid + 1;
      else hi = mid;
    }
    const value = lo > 0 ? points[lo - 1].value : null;
    this.readout.textContent = value === null ? '' : `${formatValue(Number(value))} ${this.profile.valueUnit || ''} at ${formatElapsed(this.time)}`;
    const w = this.svg.clientWidth || this.container.clientWidth;
    const right = x > w - 220;
    this.readout.classList.toggle('left-of', right);
    moveOverlay(this.readout, right ? x - 6 : x + 6);
  }
}

