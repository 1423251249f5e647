import { test } from 'node:test';
import assert from 'node:assert/strict';
import { TimeAxis, formatElapsed, formatIsoDate, formatRunDate, parseRunStart } from '../src/time.js';

test('run dates read as written, whatever the time zone of the browser', () => {
  assert.equal(parseRunStart('2024-04-01T06:00:00'), Date.UTC(2024, 3, 1, 6, 0, 0));
  assert.equal(parseRunStart('not a date'), null);
  assert.equal(parseRunStart(null), null);
  assert.equal(formatIsoDate('2024-04-09T17:19:34'), 'Tue 9 Apr 2024, 17:19:34');
  assert.equal(formatIsoDate('garbage'), 'garbage');
  assert.equal(formatRunDate('2024-04-01T06:00:00', 8 * 86400 + 3600), 'Tue 9 Apr 2024 07:00');
  assert.equal(formatElapsed(0), '00:00:00');
  assert.equal(formatElapsed(86400 + 3600 + 61), '1 d 01:01:01');
  assert.equal(formatElapsed(-5), '00:00:00');
});

test('the time axis maps a window of the run onto the plot and back', () => {
  const axis = new TimeAxis('2024-04-01T06:00:00', 1000, 100, 600);
  assert.equal(axis.x(0), 100);
  assert.equal(axis.x(1000), 600);
  assert.equal(axis.t(350), 500);
  assert.equal(axis.t(10000), 1000, 'right of the plot is the end');
  const zoomed = new TimeAxis('2024-04-01T06:00:00', 500, 700, 100, 600);
  assert.equal(zoomed.x(500), 100);
  assert.equal(zoomed.t(350), 600);
  assert.ok(Number.isFinite(new TimeAxis('2024-04-01T06:00:00', 0, 0, 100).x(0)), 'a run of no length');
});

test('ticks fall on round calendar steps and show the year where it changes', () => {
  const start = '2024-04-01T06:00:00';
  const cases = [
    // [from, to, width, first labels, step in seconds or null]
    [0, 3 * 86400, 300, ['2 Apr 2024', '3 Apr', '4 Apr'], 86400],
    [1800, 10 * 3600, 1000, ['1 Apr 2024 07:00', '08:00', '09:00'], 3600],
    // New Year's Eve at noon for a day: the new year's first tick names it.
    [274 * 86400 + 6 * 3600, 275 * 86400 + 6 * 3600, 1000, ['31 Dec 2024 12:00', '15:00', '18:00', '21:00', '1 Jan 2025 00:00'], 3 * 3600],
    [0, 654 * 86400, 1200, ['Jul 2024', 'Oct', 'Jan 2025', 'Apr'], null],
    [0, 30 * 365 * 86400, 1000, ['2025', '2030'], null],
  ];
  for (const [from, to, width, labels, step] of cases) {
    const ticks = new TimeAxis(start, from, to, 0, width).ticks(90);
    assert.deepEqual(ticks.slice(0, labels.length).map((t) => t.label), labels, `${from}..${to}`);
    assert.ok(ticks.every((t, i) => i === 0 || t.x - ticks[i - 1].x >= 80), `${from}..${to}: labels collide`);
    assert.ok(ticks.every((t) => t.t >= from && t.t <= to));
    if (step) assert.ok(ticks.every((t, i) => i === 0 || t.t - ticks[i - 1].t === step));
  }
});
