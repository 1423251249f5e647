// The Gantt chart: one row per scheduled vessel, a bar per time block in
// the batch's colour, the stretches in which the vessel still holds
// material, its non-working time, and a cursor at the animation time.
// Clicking the chart moves the time there.

import { TimeAxis, formatElapsed } from './time.js';
import { svgEl, svgText, svgTitle, PLOT_LEFT, PLOT_RIGHT_MARGIN } from './svg.js';

const ROW = 22;
const AXIS = 26;

export class GanttChart {
  constructor(container, { onTime } = {}) {
    this.container = container;
    this.onTime = onTime;
    this.data = null;
    this.time = 0;
    this.selectedIds = new Set();
    new ResizeObserver(() => this.draw()).observe(container);
  }

  setData(data) {
    this.data = data;
    this.draw();
  }

  setTime(t) {
    this.time = t;
    this.placeCursor();
  }

  setSelectedVesselIds(ids) {
    this.selectedIds = new Set(ids);
    if (!this.svg) return;
    for (const label of this.svg.querySelectorAll('.gantt-row-label')) {
      label.classList.toggle('selected', this.selectedIds.has(Number(label.dataset.id)));
    }
  }

  draw() {
    const data = this.data;
    const width = this.container.clientWidth;
    if (!data || width < 50) return;
    this.container.replaceChildren();
    const rows = data.rows || [];
    const height = AXIS + rows.length * ROW + 6;
    const axis = new TimeAxis(data.start, data.end, PLOT_LEFT, width - PLOT_RIGHT_MARGIN);
    this.axis = axis;
    const svg = svgEl('svg', { class: 'gantt', width, height, viewBox: `0 0 ${width} ${height}` }, this.container);
    this.svg = svg;

    const defs = svgEl('defs', {}, svg);
    const hatch = svgEl('pattern', { id: 'gantt-hatch', width: 6, height: 6, patternUnits: 'userSpaceOnUse', patternTransform: 'rotate(45)' }, defs);
    svgEl('rect', { width: 6, height: 6, fill: '#eef1f5' }, hatch);
    svgEl('line', { x1: 0, y1: 0, x2: 0, y2: 6, stroke: '#c3cad4', 'stroke-width': 2 }, hatch);

    // Rows: zebra background, label, non-working, in-use, blocks.
    const body = svgEl('g', { class: 'gantt-rows' }, svg);
    rows.forEach((row, r) => {
      const y = AXIS + r * ROW;
      const g = svgEl('g', { class: 'gantt-row', 'data-row': r }, body);
      svgEl('rect', { class: r % 2 ? 'gantt-band odd' : 'gantt-band', x: 0, y, width, height: ROW }, g);
      const label = svgText(row.name, { class: 'gantt-row-label', x: 10, y: y + ROW / 2 + 4, 'data-id': row.id }, g);
      if (this.selectedIds.has(row.id)) label.classList.add('selected');
      for (const b of row.nonWorking || []) {
        const x0 = axis.x(b.start);
        svgEl('rect', { class: 'gantt-nonworking', x: x0, y, width: Math.max(1, axis.x(b.end) - x0), height: ROW, fill: 'url(#gantt-hatch)' }, g);
      }
      for (const b of row.inUse || []) {
        const x0 = axis.x(b.start);
        const rect = svgEl('rect', { class: 'gantt-inuse', x: x0, y: y + 7, width: Math.max(1, axis.x(b.end) - x0), height: ROW - 14 }, g);
        svgTitle(`${row.name}: holding material, ${formatElapsed(b.start)} – ${formatElapsed(b.end)}`, rect);
      }
      (row.blocks || []).forEach((b, i) => {
        const x0 = axis.x(b.start);
        const rect = svgEl(
          'rect',
          {
            class: b.empty ? 'gantt-bar empty' : 'gantt-bar',
            'data-row': r,
            'data-block': i,
            x: x0,
            y: y + 3,
            width: Math.max(1.5, axis.x(b.end) - x0),
            height: ROW - 6,
            rx: 2,
            fill: b.colour,
          },
          g,
        );
        const lines = [
          `${row.name} — batch ${b.batch}`,
          [b.step, b.operation].filter(Boolean).join(' · '),
          b.text,
          `${formatElapsed(b.start)} – ${formatElapsed(b.end)}`,
        ].filter(Boolean);
        svgTitle(lines.join('\n'), rect);
      });
    });

    // Axis on top with grid lines through the rows.
    const grid = svgEl('g', { class: 'gantt-axis' }, svg);
    svgEl('rect', { class: 'axis-bg', x: 0, y: 0, width, height: AXIS }, grid);
    for (const tick of axis.ticks()) {
      svgEl('line', { class: tick.major ? 'grid major' : 'grid', x1: tick.x, x2: tick.x, y1: AXIS - 4, y2: height }, grid);
      svgText(tick.label, { class: 'tick', x: tick.x + 3, y: AXIS - 9 }, grid);
    }
    svgEl('line', { class: 'axis-line', x1: PLOT_LEFT, x2: width - PLOT_RIGHT_MARGIN, y1: AXIS, y2: AXIS }, grid);

    this.cursor = svgEl('line', { class: 'time-cursor', x1: 0, x2: 0, y1: 0, y2: height }, svg);
    this.placeCursor();

    svg.addEventListener('click', (e) => {
      const rect = svg.getBoundingClientRect();
      const x = e.clientX - rect.left;
      if (x < PLOT_LEFT || !this.onTime) return;
      this.onTime(axis.t(x));
    });
  }

  placeCursor() {
    if (!this.cursor || !this.axis) return;
    const x = this.axis.x(this.time);
    this.cursor.setAttribute('x1', x);
    this.cursor.setAttribute('x2', x);
  }
}
