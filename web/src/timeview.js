// The visible window of the run, shared by the Gantt chart and the profile
// chart so that they zoom and pan together: [from, to] in seconds, kept
// within [0, end] and never narrower than a minute.

const MIN_SPAN = 60;

export class TimeView {
  constructor(end) {
    this.end = Math.max(1, end);
    this.from = 0;
    this.to = this.end;
    this.listeners = new Set();
  }

  onChange(fn) {
    this.listeners.add(fn);
  }

  get span() {
    return this.to - this.from;
  }

  set(from, to) {
    let span = Math.min(this.end, Math.max(MIN_SPAN, to - from));
    let a = Math.max(0, Math.min(from, this.end - span));
    if (!Number.isFinite(a)) a = 0;
    if (!Number.isFinite(span)) span = this.end;
    const b = a + span;
    if (a === this.from && b === this.to) return;
    this.from = a;
    this.to = b;
    for (const fn of this.listeners) fn(this);
  }

  // factor < 1 zooms in; the time `around` stays where it is on screen.
  zoom(factor, around = (this.from + this.to) / 2) {
    const span = this.span * factor;
    const share = (around - this.from) / this.span;
    this.set(around - share * span, around - share * span + span);
  }

  pan(seconds) {
    this.set(this.from + seconds, this.to + seconds);
  }

  // Keeps the span, centred on t where it can be.
  centre(t) {
    this.set(t - this.span / 2, t + this.span / 2);
  }

  whole() {
    this.set(0, this.end);
  }
}

// Draws an answer that arrives while the view is moving at the next pause
// instead of at once: the next zoom or pan step draws it anyway, and
// drawing it in between doubles that step's work. `moved()` is called when
// the chart has just drawn for a view change; `soon(now)` when an answer
// arrives (now: the chart shows nothing of the view without it).
export class LateDraw {
  constructor(draw, quiet = 150) {
    this.draw = draw;
    this.quiet = quiet;
    this.last = -Infinity;
    this.timer = 0;
    this.frame = 0;
  }

  moved() {
    this.last = performance.now();
    this.cancel();
  }

  soon(now = false) {
    this.cancel();
    const wait = now ? 0 : this.last + this.quiet - performance.now();
    if (wait > 0) {
      this.timer = setTimeout(() => this.soon(), wait);
      return;
    }
    this.frame = requestAnimationFrame(() => {
      this.frame = 0;
      this.draw();
    });
  }

  cancel() {
    clearTimeout(this.timer);
    cancelAnimationFrame(this.frame);
    this.timer = 0;
    this.frame = 0;
  }
}

// Wheel, pinch (a wheel with ctrlKey), drag and keys on a chart move the
// view; a press that does not move is a click (`onClick(x)`). `axis()`
// gives the chart's current TimeAxis.
export function attachNavigation(element, view, axis, onClick) {
  element.addEventListener(
    'wheel',
    (e) => {
      const a = axis();
      if (!a) return;
      const box = element.getBoundingClientRect();
      const x = e.clientX - box.left;
      // Over the labels the wheel scrolls as anywhere else on the page.
      if (x < a.left && !e.ctrlKey) return;
      e.preventDefault();
      if (Math.abs(e.deltaX) > Math.abs(e.deltaY) || e.shiftKey) {
        view.pan(((e.shiftKey ? e.deltaY : e.deltaX) / (a.right - a.left)) * view.span);
      } else {
        view.zoom(Math.exp(e.deltaY * (e.ctrlKey ? 0.01 : 0.002)), a.t(x));
      }
    },
    { passive: false },
  );
  let drag = null;
  element.addEventListener('pointerdown', (e) => {
    if (e.button !== 0) return;
    drag = { x: e.clientX, from: view.from, to: view.to, moved: false, id: e.pointerId };
    element.setPointerCapture?.(e.pointerId);
  });
  element.addEventListener('pointermove', (e) => {
    if (!drag) return;
    const a = axis();
    const dx = e.clientX - drag.x;
    if (Math.abs(dx) > 3) drag.moved = true;
    if (drag.moved && a) {
      const seconds = (-dx / (a.right - a.left)) * (drag.to - drag.from);
      view.set(drag.from + seconds, drag.to + seconds);
    }
  });
  const end = (e) => {
    if (!drag) return;
    const wasClick = !drag.moved;
    drag = null;
    if (wasClick && onClick) onClick(e.clientX - element.getBoundingClientRect().left, e);
  };
  element.addEventListener('pointerup', end);
  element.addEventListener('pointercancel', () => (drag = null));
}

// +/- zoom, arrows pan, Home/End jump, outside text fields.
export function attachKeys(view, { onSpace } = {}) {
  document.addEventListener('keydown', (e) => {
    const tag = e.target?.tagName;
    if (tag === 'INPUT' || tag === 'SELECT' || tag === 'TEXTAREA' || e.ctrlKey || e.metaKey || e.altKey) return;
    // A focused button takes Space as its own click.
    if (tag === 'BUTTON' && e.key === ' ') return;
    const keys = {
      '+': () => view.zoom(0.5),
      '=': () => view.zoom(0.5),
      '-': () => view.zoom(2),
      ArrowLeft: () => view.pan(-view.span * 0.2),
      ArrowRight: () => view.pan(view.span * 0.2),
      Home: () => view.set(0, view.span),
      End: () => view.set(view.end - view.span, view.end),
      ' ': () => onSpace?.(),
    };
    const act = keys[e.key];
    if (!act) return;
    e.preventDefault();
    act();
  });
}

// A strip of the whole run over the charts, shaded by how much of the plant
// works when, with the visible window as a box to drag; a click elsewhere
// centres the window there.
export class RangeBar {
  constructor(container, view) {
    this.view = view;
    this.el = document.createElement('div');
    this.el.className = 'range-bar';
    this.canvas = document.createElement('canvas');
    this.el.appendChild(this.canvas);
    this.box = document.createElement('div');
    this.box.className = 'range-box';
    this.el.appendChild(this.box);
    container.appendChild(this.el);
    view.onChange(() => this.place());
    let drag = null;
    this.el.addEventListener('pointerdown', (e) => {
      const w = this.el.clientWidth || 1;
      const t = ((e.clientX - this.el.getBoundingClientRect().left) / w) * view.end;
      if (e.target !== this.box) view.centre(t);
      drag = { x: e.clientX, from: view.from };
      this.el.setPointerCapture?.(e.pointerId);
    });
    this.el.addEventListener('pointermove', (e) => {
      if (!drag) return;
      const seconds = ((e.clientX - drag.x) / (this.el.clientWidth || 1)) * view.end;
      view.set(drag.from + seconds, drag.from + seconds + view.span);
    });
    this.el.addEventListener('pointerup', () => (drag = null));
    new ResizeObserver(() => {
      this.place();
      this.paint();
    }).observe(this.el);
    this.place();
  }

  // The schedule of the whole run (any resolution): the share of its rows
  // at work in each pixel column.
  setOverview(schedule) {
    this.schedule = schedule;
    this.paint();
  }

  paint() {
    const rows = this.schedule?.rows.filter((r) => r.blocks.length) || [];
    const w = this.el.clientWidth;
    const h = this.el.clientHeight;
    if (!rows.length || w < 2) return;
    const dpr = window.devicePixelRatio || 1;
    this.canvas.width = Math.round(w * dpr);
    this.canvas.height = Math.round(h * dpr);
    const busy = new Float32Array(w);
    const scale = w / this.view.end;
    for (const row of rows)
      for (const b of row.blocks) {
        const a = Math.max(0, Math.floor(b.start * scale));
        const z = Math.min(w - 1, Math.floor(b.end * scale));
        for (let x = a; x <= z; x += 1) busy[x] += 1;
      }
    const g = this.canvas.getContext('2d');
    g.setTransform(dpr, 0, 0, dpr, 0, 0);
    g.fillStyle = '#8fa3bb';
    for (let x = 0; x < w; x += 1) {
      const share = Math.min(1, busy[x] / rows.length);
      if (share > 0) g.fillRect(x, h * (1 - share), 1, h * share);
    }
  }

  place() {
    const w = this.el.clientWidth;
    this.box.style.left = `${(this.view.from / this.view.end) * w}px`;
    this.box.style.width = `${Math.max(4, (this.view.span / this.view.end) * w)}px`;
  }
}
