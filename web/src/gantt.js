// The Gantt chart: one row per scheduled vessel, a bar per time block in
// the batch's colour, the stretches in which the vessel still holds
// material, its non-working time, and a cursor at the animation time.
// Clicking the chart moves the time there.

import { TimeAxis, formatElapsed } from './time.js';
import { svgEl, svgText, svgTitle, cursorOverlay, moveOverlay, PLOT_LEFT, PLOT_RIGHT_MARGIN } from './svg.js';

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

  // The time axis stays on top in its own SVG while the rows scroll below.
  draw() {
    const data = this.data;
    const width = this.container.clientWidth;
    if (!data || width < 50) return;
    const scrollTop = this.scroller ? this.scroller.scrollTop : 0;
    this.container.replaceChildren();
    const rows = data.rows || [];
    const height = rows.length * ROW + 4;
    const axis = new TimeAxis(data.start, data.end, PLOT_LEFT, width - PLOT_RIGHT_MARGIN);
    this.axis = axis;
    const ticks = axis.ticks();

    const head = svgEl('svg', { class: 'gantt-head', width, height: AXIS, viewBox: `0 0 ${width} ${AXIS}` }, this.container);
    for (const tick of ticks) {
      svgEl('line', { class: tick.major ? 'grid major' : 'grid', x1: tick.x, x2: tick.x, y1: AXIS - 4, y2: AXIS }, head);
      svgText(tick.label, { class: 'tick', x: tick.x + 3, y: AXIS - 9 }, head);
    }
    svgEl('line', { class: 'axis-line', x1: PLOT_LEFT, x2: width - PLOT_RIGHT_MARGIN, y1: AXIS - 0.5, y2: AXIS - 0.5 }, head);

    this.scroller = document.createElement('div');
    this.scroller.className = 'gantt-scroll';
    this.container.appendChild(this.scroller);
    const svg = svgEl('svg', { class: 'gantt', width, height, viewBox: `0 0 ${width} ${height}` }, this.scroller);
    this.svg = svg;

    const defs = svgEl('defs', {}, svg);
    const hatch = svgEl('pattern', { id: 'gantt-hatch', width: 6, height: 6, patternUnits: 'userSpaceOnUse', patternTransform: 'rotate(45)' }, defs);
    svgEl('rect', { width: 6, height: 6, fill: '#eef1f5' }, hatch);
    svgEl('line', { x1: 0, y1: 0, x2: 0, y2: 6, stroke: '#c3cad4', 'stroke-width': 2 }, hatch);

    // Rows: zebra background, label, non-working, in-use, blocks; grid lines
    // go between the backgrounds and the bars.
    const bands = svgEl('g', { class: 'gantt-bands' }, svg);
    const grid = svgEl('g', { class: 'gantt-grid' }, svg);
    const body = svgEl('g', { class: 'gantt-rows' }, svg);
    for (const tick of ticks) {
      svgEl('line', { class: tick.major ? 'grid major' : 'grid', x1: tick.x, x2: tick.x, y1: 0, y2: height }, grid);
    }
    rows.forEach((row, r) => {
      const y = r * ROW;
      svgEl('rect', { class: r % 2 ? 'gantt-band odd' : 'gantt-band', x: 0, y, width, height: ROW }, bands);
      const g = svgEl('g', { class: 'gantt-row', 'data-row': r }, body);
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

    // Over the axis and the visible rows alike.
    this.cursor = cursorOverlay(this.container);
    this.placeCursor();
    this.scroller.scrollTop = scrollTop;

    for (const target of [head, svg]) {
      target.addEventListener('click', (e) => {
        const x = e.clientX - target.getBoundingClientRect().left;
        if (x >= PLOT_LEFT && this.onTime) this.onTime(axis.t(x));
      });
    }
  }

  placeCursor() {
    if (!this.cursor || !this.axis) return;
    moveOverlay(this.cursor, this.axis.x(this.time));
  }
}
