// The viewer page: wires the 3-D view, the time controls, the Gantt chart
// and the profile chart to the API of `batchplant serve`.

import './style.css';
import { api } from './api.js';
import { PlantView } from './scene.js';
import { GanttChart } from './gantt.js';
import { ProfileChart } from './profile.js';
import { formatIsoDate, formatElapsed } from './time.js';
import { TimeView, RangeBar, attachKeys } from './timeview.js';
import { UtilisationPanel } from './utilisation.js';

const $ = (id) => document.getElementById(id);

const ui = {
  status: $('status'),
  title: $('run-title'),
  slider: $('time-slider'),
  date: $('clock-date'),
  elapsed: $('clock-elapsed'),
  speed: $('speed'),
  operations: $('operations'),
  info: $('info-box'),
  visibility: $('visibility'),
  layoutFloor: $('layout-floor'),
};

let model = null;
let currentTime = 0;

function showError(err) {
  ui.status.textContent = err?.message || String(err);
  ui.status.classList.add('error');
  clearTimeout(showError.timer);
  showError.timer = setTimeout(() => {
    ui.status.textContent = '';
    ui.status.classList.remove('error');
  }, 8000);
}

const view = new PlantView($('scene'), { onPick: (item) => select(item).catch(showError) });
// The charts share one window of the run; they are made once the run's
// length is known.
let timeView = null;
let gantt = null;
let profile = null;
let rangeBar = null;

function makeCharts(run) {
  timeView = new TimeView(run.end);
  rangeBar = new RangeBar($('range'), timeView);
  gantt = new GanttChart($('gantt'), timeView, { onTime: (t) => seek(t), fetch: (w) => api.gantt(w), onError: showError });
  gantt.setModel(model);
  profile = new ProfileChart(
    $('profile'),
    {
      type: $('profile-type'),
      group: $('profile-group'),
      component: $('profile-component'),
      quantity: $('profile-quantity'),
      perTime: $('profile-pertime'),
    },
    timeView,
    { onTime: (t) => seek(t), onError: showError },
  );
  new UtilisationPanel($('utilisation'), timeView, { onError: showError }).load();
  attachKeys(timeView, { onSpace: () => (playing ? stop() : play('forward')) });
  $('zoom-all').addEventListener('click', () => timeView.whole());
  $('show-idle').addEventListener('change', (e) => gantt.setShowIdle(e.target.checked));
}

// The nine batch colours, which repeat: batch 10 has batch 1's.
function batchLegend(schedule) {
  const colours = new Map();
  const note = (batch, colour) => batch > 0 && colours.set(((batch - 1) % 9) + 1, colour);
  for (const row of schedule.rows)
    for (const b of row.blocks) {
      if (b.empty) continue;
      if (!b.count) note(b.batch, b.colour);
      else if (b.batches.length === 1) note(b.batches[0], b.colour);
    }
  const items = [...colours.keys()].sort((a, b) => a - b).map((batch) => {
    const span = document.createElement('span');
    const swatch = document.createElement('i');
    swatch.style.background = colours.get(batch);
    span.append(swatch, String(batch));
    return span;
  });
  const repeat = document.createElement('span');
  repeat.className = 'note';
  repeat.textContent = 'batch colours repeat every nine batches';
  $('batch-legend').replaceChildren(document.createTextNode('Batch '), ...items, repeat);
}

// "R-101: 2.6 React" per vessel at work, each text once.
function runningOperations(state) {
  const out = [];
  const seen = new Set();
  for (const v of state.vessels || []) {
    if (!v.operation) continue;
    const text = `${model.vessels[v.index]?.name || `Vessel ${v.index + 1}`}: ${v.operation}`;
    if (!seen.has(text)) {
      seen.add(text);
      out.push(text);
    }
  }
  return out;
}

// ---- time -----------------------------------------------------------------

function applyState(state) {
  view.setState(state);
  currentTime = state.time;
  if (document.activeElement !== ui.slider || playing) ui.slider.value = String(state.time);
  ui.date.textContent = formatIsoDate(state.date);
  ui.elapsed.textContent = `${formatElapsed(state.time)} into the run`;
  gantt?.setTime(state.time);
  profile?.setTime(state.time);
  const ops = runningOperations(state);
  // Rebuilt only when it changes, so that a frame of play does not lay the
  // side panel out again.
  const opsKey = ops.join('\n');
  if (opsKey !== applyState.opsKey) {
    applyState.opsKey = opsKey;
    ui.operations.replaceChildren(
      ...(ops.length ? ops : ['Nothing runs at this time.']).map((text) => {
        const li = document.createElement('li');
        li.textContent = text;
        if (!ops.length) li.className = 'none';
        return li;
      }),
    );
  }
  document.body.dataset.time = String(state.time);
}

// Slider moves are coalesced: at most one state request is in flight, and
// the latest wanted time follows when it returns.
let wantedTime = null;
let seeking = false;
async function seek(t) {
  stop();
  wantedTime = Math.max(0, Math.min(Math.round(t), model ? model.run.end : t));
  if (seeking) return;
  seeking = true;
  try {
    while (wantedTime !== null) {
      const next = wantedTime;
      wantedTime = null;
      applyState(await api.state(next));
    }
  } catch (err) {
    showError(err);
  } finally {
    seeking = false;
  }
}

ui.slider.addEventListener('input', () => seek(Number(ui.slider.value)));

// Playback runs the library's clock on the display's: each display frame
// asks for the clock frames due since the last request (the speed is clock
// frames per sixtieth of a second) and draws the state answered. At most one
// request is in flight; when the server is slower than the display, display
// frames are skipped, never requests queued, and the clock still keeps pace.
const FRAME_MS = 1000 / 60;
// A hidden tab gets no frames; on its return the clock goes on from where it
// was rather than leaping over what was not shown.
const MAX_CATCH_UP = 10;
let playing = null;
function stop() {
  playing = null;
  view.setPlaying(false);
  document.body.dataset.playing = '';
  for (const id of ['play-forward', 'play-backward']) $(id).classList.remove('on');
}
const nextFrame = () => new Promise((resolve) => requestAnimationFrame(resolve));
async function play(direction) {
  if (playing === direction) return;
  stop();
  const run = {};
  playing = direction;
  view.setPlaying(true);
  play.current = run;
  const live = () => playing === direction && play.current === run;
  document.body.dataset.playing = direction;
  $(direction === 'forward' ? 'play-forward' : 'play-backward').classList.add('on');
  try {
    // Start from the time shown, not wherever the clock was left.
    await api.state(currentTime);
    let last = performance.now();
    // The next state is asked for as soon as one is drawn, so the request
    // and the wait for the display's next frame overlap.
    let pending = api.animate(direction, Number(ui.speed.value) || 1);
    while (live()) {
      const [answer, now] = await Promise.all([pending, nextFrame()]);
      if (!live()) break;
      applyState(answer.state);
      if (answer.boundary) break;
      const due = Math.min(MAX_CATCH_UP, Math.max(1, Math.round((now - last) / FRAME_MS)));
      last = now;
      pending = api.animate(direction, due * (Number(ui.speed.value) || 1));
    }
    // A request still out when play stops is not shown; its failure is not news.
    pending.catch(() => {});
  } catch (err) {
    showError(err);
  }
  if (play.current === run) stop();
}
$('play-forward').addEventListener('click', () => play('forward'));
$('play-backward').addEventListener('click', () => play('backward'));
$('pause').addEventListener('click', () => stop());

// ---- selection ------------------------------------------------------------

function infoBox(info) {
  ui.info.classList.remove('empty');
  const rows = [
    ['Name', info.name],
    ['Capacity', info.capacity],
  ];
  const frag = document.createDocumentFragment();
  const dl = document.createElement('dl');
  for (const [k, v] of rows) {
    if (!v) continue;
    const dt = document.createElement('dt');
    dt.textContent = k;
    const dd = document.createElement('dd');
    dd.textContent = v;
    if (k === 'Name') dd.className = 'info-name';
    dl.append(dt, dd);
  }
  frag.appendChild(dl);
  if (info.procedures) {
    const h = document.createElement('h3');
    h.textContent = 'Procedures';
    const pre = document.createElement('pre');
    pre.className = 'procedures';
    pre.textContent = info.procedures;
    frag.append(h, pre);
  }
  ui.info.replaceChildren(frag);
}

async function select(item) {
  const answer = await api.select(item);
  view.setSelection(answer.selected);
  view.setColours(answer.colours);
  gantt?.setSelectedVesselIds((answer.selected.vessels || []).map((i) => model.vessels[i]?.id));
  const single = answer.vesselSelected || answer.pipeSelected;
  if (single && item > 0) {
    infoBox(await api.info(item));
  } else if (answer.floorSelected) {
    const floor = model.floors.find((f) => f.item === item);
    infoBox({ name: floor ? floor.name : 'Floor' });
  } else {
    ui.info.classList.add('empty');
    ui.info.textContent = 'Click a vessel or a pipe to see its details.';
  }
  document.body.dataset.selectedItem = String(answer.item ?? item);
  // Deselected items take back their own colours: draw the state again.
  applyState(await api.state(currentTime));
}

// ---- visibility and layout ----------------------------------------------------

const SWITCHES = [
  ['vessels', 'Vessels'],
  ['pipes', 'Pipes'],
  ['floors', 'Floors'],
  ['labels', 'Labels'],
  ['crossFloorPipes', 'Pipes between floors'],
  ['straightPipes', 'Straight pipes'],
];

function checkbox(label, checked, onChange) {
  const l = document.createElement('label');
  l.className = 'check';
  const input = document.createElement('input');
  input.type = 'checkbox';
  input.checked = checked;
  input.addEventListener('change', () => onChange(input.checked, input));
  l.append(input, ` ${label}`);
  return l;
}

function buildSwitches() {
  const v = model.visibility || {};
  const items = SWITCHES.map(([key, label]) =>
    checkbox(label, !!v[key], async (on, input) => {
      try {
        const answer = await api.visibility({ [key]: on });
        model.visibility = answer.visibility;
        if (key === 'straightPipes') {
          view.setModel(model);
        } else {
          view.applyVisibility(answer.visibility);
        }
      } catch (err) {
        input.checked = !on;
        showError(err);
      }
    }),
  );
  const floors = model.floors.map((f) =>
    checkbox(f.name || `Floor ${f.index + 1}`, f.visible !== false, async (on, input) => {
      try {
        await api.visibility({ floor: f.index, visible: on });
        view.setFloorVisible(f.index, on);
      } catch (err) {
        input.checked = !on;
        showError(err);
      }
    }),
  );
  const sub = document.createElement('div');
  sub.className = 'floor-switches';
  sub.append(...floors);
  ui.visibility.replaceChildren(...items, sub);
  ui.layoutFloor.replaceChildren(
    ...model.floors.map((f) => {
      const o = document.createElement('option');
      o.value = f.index;
      o.textContent = f.name || `Floor ${f.index + 1}`;
      return o;
    }),
  );
}

async function relayout(mode, iterations) {
  if (!model.floors.length) return;
  const floor = Number(ui.layoutFloor.value) || 0;
  try {
    await api.layout(mode, floor, iterations);
    model = await api.model();
    view.setModel(model);
    applyState(await api.state(currentTime));
    ui.layoutFloor.value = String(floor);
  } catch (err) {
    showError(err);
  }
}
$('layout-wizard').addEventListener('click', () => relayout('wizard'));
$('layout-force').addEventListener('click', () => relayout('force', 20));
$('view-fit').addEventListener('click', () => view.fit());
$('view-top').addEventListener('click', () => view.topView());

// ---- start ------------------------------------------------------------------

async function start() {
  // Everything the first screen shows is asked for at once: the server
  // answers while the page builds the 3-D view, whose first frame (shader
  // compiles) is the longest step of a load.
  const early = {
    model: api.model(),
    state: api.state(0),
    gantt: api.gantt({ px: Math.max(200, $('gantt').clientWidth) }),
    types: api.compositeTypes(),
  };
  early.groups = early.types.then(({ types }) => (types.length ? api.compositeGroups(types[0].type) : { groups: [] }));
  // Each is awaited below; a failure is reported there, not as unhandled.
  for (const p of Object.values(early)) p.catch(() => {});
  model = await early.model;
  const run = model.run;
  ui.title.replaceChildren();
  const name = document.createElement('strong');
  name.textContent = run.name || 'Production run';
  const rest = document.createElement('span');
  rest.textContent = [run.plan, `from ${formatIsoDate(run.start)}`].filter(Boolean).join(' · ');
  ui.title.append(name, rest);
  document.title = `${run.name || 'Run'} — batchplant viewer`;
  ui.slider.max = String(run.end);
  view.setModel(model);
  buildSwitches();
  makeCharts(run);
  const [state, schedule] = await Promise.all([early.state, early.gantt]);
  applyState(state);
  batchLegend(schedule);
  rangeBar.setOverview(schedule);
  gantt.setData(schedule);
  gantt.setTime(state.time);
  const idle = schedule.rows.filter((r) => !r.blocks.length).length;
  $('show-idle-label').textContent = `Show idle vessels (${idle})`;
  $('show-idle').parentElement.hidden = idle === 0;
  // The server keeps its selection across page loads: show it again.
  const chosen = model.vessels.find((v) => v.selected) || model.streams.find((x) => x.selected && x.item);
  if (chosen) {
    gantt.setSelectedVesselIds(model.vessels.filter((v) => v.selected).map((v) => v.id));
    infoBox(await api.info(chosen.item));
  }
  await profile.init(run, { types: early.types, groups: early.groups });
  profile.setTime(state.time);
  document.body.dataset.ready = '1';
}

// Hooks for the end-to-end test and for poking at the page from the console.
window.batchplantViewer = {
  vesselLevel: (index) => view.vesselLevel(index),
  project: (point) => view.project(point),
  renderNow: () => view.renderNow(),
  ganttPoint: (row, t) => gantt?.pointOf(row, t) ?? null,
  get view() {
    return timeView;
  },
  get time() {
    return currentTime;
  },
};

start().catch((err) => {
  showError(err);
  document.body.dataset.ready = 'error';
});
