// How each vessel spent the visible window: one stacked bar per vessel
// (running, holding material, idle, non-working), the bottleneck marked,
// asked of the server whenever the shared time window settles.

import { api } from './api.js';

const PARTS = [
  ['running', 'Running', '#2d6cb0'],
  ['holding', 'Holding material', '#b9c3d6'],
  ['idle', 'Idle', '#eef1f5'],
  ['nonWorking', 'Non-working', '#a9afba'],
];

export class UtilisationPanel {
  constructor(container, view, { onError } = {}) {
    this.container = container;
    this.view = view;
    this.onError = onError || (() => {});
    const legend = document.createElement('div');
    legend.className = 'chart-legend util-legend';
    for (const [, label, colour] of PARTS) {
      const span = document.createElement('span');
      const i = document.createElement('i');
      i.style.background = colour;
      span.append(i, label);
      legend.appendChild(span);
    }
    this.list = document.createElement('div');
    this.list.className = 'util-rows';
    container.append(legend, this.list);
    view.onChange(() => {
      clearTimeout(this.timer);
      this.timer = setTimeout(() => this.load(), 250);
    });
  }

  // Vessels that never work in the run are left out, as in the schedule.
  async load() {
    if (this.loading) {
      this.wanted = true;
      return;
    }
    this.loading = true;
    try {
      const u = await api.utilisation({ from: Math.floor(this.view.from), to: Math.ceil(this.view.to) });
      this.draw(u);
    } catch (err) {
      this.onError(err);
    } finally {
      this.loading = false;
      if (this.wanted) {
        this.wanted = false;
        this.load();
      }
    }
  }

  draw(u) {
    if (!this.shown) this.shown = new Set(u.vessels.filter((v) => v.operations > 0).map((v) => v.tag));
    const rows = u.vessels.filter((v) => this.shown.has(v.tag)).map((v) => {
      const row = document.createElement('div');
      row.className = v.tag === u.bottleneck ? 'util-row bottleneck' : 'util-row';
      const name = document.createElement('span');
      name.className = 'util-name';
      name.textContent = v.tag;
      const bar = document.createElement('span');
      bar.className = 'util-bar';
      for (const [key, label, colour] of PARTS) {
        if (!(v[key] > 0)) continue;
        const part = document.createElement('i');
        part.style.width = `${v[key] * 100}%`;
        part.style.background = colour;
        part.title = `${v.tag}: ${label} ${(v[key] * 100).toFixed(1)} %`;
        bar.appendChild(part);
      }
      const share = document.createElement('span');
      share.className = 'util-share';
      share.textContent = `${(v.running * 100).toFixed(1)} % running${v.tag === u.bottleneck ? ' — bottleneck' : ''}`;
      row.append(name, bar, share);
      return row;
    });
    this.list.replaceChildren(...rows);
    this.container.dataset.bottleneck = u.bottleneck || '';
    this.container.dataset.rows = String(rows.length);
  }
}
