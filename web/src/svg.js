// Small helpers for building SVG charts.
export const SVG_NS = 'http://www.w3.org/2000/svg';

export function svgEl(name, attrs = {}, parent = null) {
  const el = document.createElementNS(SVG_NS, name);
  for (const [k, v] of Object.entries(attrs)) {
    if (v !== undefined && v !== null) el.setAttribute(k, String(v));
  }
  if (parent) parent.appendChild(el);
  return el;
}

export function svgText(text, attrs, parent) {
  const el = svgEl('text', attrs, parent);
  el.textContent = text;
  return el;
}

export function svgTitle(text, parent) {
  const el = svgEl('title', {}, parent);
  el.textContent = text;
  return el;
}

// Left edge and right margin of the plotting area, shared by the Gantt
// chart and the profile chart so that their time axes line up.
export const PLOT_LEFT = 150;
export const PLOT_RIGHT_MARGIN = 18;

// The time cursor of a chart: an HTML line over the chart in a layer of its
// own, moved by a transform. Moving it then repaints nothing of the chart
// below, which at a year's run holds tens of thousands of elements.
export function cursorOverlay(parent, className = 'time-cursor') {
  const el = document.createElement('div');
  el.className = className;
  parent.appendChild(el);
  return el;
}

// Places an overlay at x (px from the left of its positioned parent); data-x
// keeps the position for tests and tools.
export function moveOverlay(el, x) {
  el.style.transform = `translateX(${x}px)`;
  el.dataset.x = String(x);
}
