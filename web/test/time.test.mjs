import { test } from 'node:test';
import assert from 'node:assert/strict';
import { TimeAxis, formatElapsed, formatIsoDate, parseRunStart } from '../src/time.js';

test('run dates read as written, whatever the time zone of the browser', () => {
  assert.equal(parseRunStart('2024-04-01T06:00:00'), Date.UTC(2024, 3, 1, 6, 0, 0));
  assert.equal(parseRunStart('not a date'), null);
  assert.equal(parseRunStart(null), null);
  assert.equal(formatIsoDate('2024-04-09T17:19:34'), 'Tue 9 Apr 2024, 17:19:34');
  assert.equal(formatIsoDate('garbage'), 'garbage');
});

test('elapsed run time shows days and a clock', () => {
  assert.equal(formatElapsed(0), '00:00:00');
  assert.equal(formatElapsed(3599), '00:59:59');
  assert.equal(formatElapsed(86400 + 3600 + 61), '1 d 01:01:01');
  assert.equal(formatElapsed(-5), '00:00:00');
});

test('the time axis maps the run onto the plot and back', () => {
  const axis = new TimeAxis('2024-04-01T06:00:00', 1000, 100, 600);
  assert.equal(axis.x(0), 100);
  assert.equal(axis.x(1000), 600);
  assert.equal(axis.x(500), 350);
  assert.equal(axis.t(350), 500);
  assert.equal(axis.t(0), 0, 'left of the plot is the start');
  assert.equal(axis.t(10000), 1000, 'right of the plot is the end');
  // A run of no length still gives a usable axis.
  assert.ok(Number.isFinite(new TimeAxis('2024-04-01T06:00:00', 0, 0, 100).x(0)));
});

test('ticks fall on calendar boundaries, not on multiples from the start', () => {
  // Three days from 06:00 on 1 April over 300 px: one tick a day, at midnight.
  const axis = new TimeAxis('2024-04-01T06:00:00', 3 * 86400, 0, 300);
  const ticks = axis.ticks(90);
  assert.deepEqual(
    ticks.map((t) => [t.t, t.label]),
    [
      [18 * 3600, '2 Apr'],
      [42 * 3600, '3 Apr'],
      [66 * 3600, '4 Apr'],
    ],
  );
  // Ten hours over 1000 px: a tick every hour on the hour, labelled by clock.
  const hours = new TimeAxis('2024-04-01T06:30:00', 10 * 3600, 0, 1000).ticks(90);
  assert.equal(hours[0].t, 1800);
  assert.equal(hours[0].label, '07:00');
  assert.ok(hours.every((t, i) => i === 0 || t.t - hours[i - 1].t === 3600));
  assert.ok(hours.every((t) => t.x >= 0 && t.x <= 1000));
});
