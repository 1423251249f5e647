// What the two charts share besides the time view: the left edge and right
// margin of their plots, so that their time axes line up, and the HTML
// overlays of the time cursor and readout.

export const PLOT_LEFT = 150;
export const PLOT_RIGHT_MARGIN = 18;

// An overlay on a layer of its own, moved by a transform, so that a playing
// clock repaints nothing of the chart below.
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

// Answers are asked for at the display's pixel density (at most 2), and one
// in hand serves until the view needs it a third finer: a zoom step of the
// wheel needs no request, and answers stay as small as the screen allows.
export const answerDensity = () => Math.min(2, Math.max(1, window.devicePixelRatio || 1));
export const FINE_ENOUGH = 0.75;
