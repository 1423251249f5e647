// Time axis shared by the Gantt chart and the profile chart, and the date
// texts of the run. Run times are whole seconds from the run's start, which
// the server gives as a local ISO date without zone; the date arithmetic
// below therefore works in UTC fields so that no time zone or daylight
// saving shift of the browser creeps in.

const MINUTE = 60;
const HOUR = 3600;
const DAY = 86400;

export function parseRunStart(iso) {
  const m = /^(\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})/.exec(iso || '');
  if (!m) return null;
  return Date.UTC(+m[1], +m[2] - 1, +m[3], +m[4], +m[5], +m[6]);
}

const pad = (n) => String(n).padStart(2, '0');
const MONTHS = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];
const WEEKDAYS = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];

// "Mon 5 Jan 2026, 07:00:00" from the server's ISO date text.
export function formatIsoDate(iso) {
  const ms = parseRunStart(iso);
  if (ms === null) return iso || '';
  const d = new Date(ms);
  return `${WEEKDAYS[d.getUTCDay()]} ${d.getUTCDate()} ${MONTHS[d.getUTCMonth()]} ${d.getUTCFullYear()}, ${pad(
    d.getUTCHours(),
  )}:${pad(d.getUTCMinutes())}:${pad(d.getUTCSeconds())}`;
}

// "2 d 03:15:00 into the run".
export function formatElapsed(seconds) {
  const s = Math.max(0, Math.round(seconds));
  const days = Math.floor(s / DAY);
  const rest = s % DAY;
  const clock = `${pad(Math.floor(rest / HOUR))}:${pad(Math.floor((rest % HOUR) / MINUTE))}:${pad(rest % MINUTE)}`;
  return days > 0 ? `${days} d ${clock}` : clock;
}

const TICK_STEPS = [
  MINUTE, 5 * MINUTE, 15 * MINUTE, 30 * MINUTE,
  HOUR, 2 * HOUR, 3 * HOUR, 6 * HOUR, 12 * HOUR,
  DAY, 2 * DAY, 7 * DAY, 14 * DAY, 28 * DAY,
];

// A linear map of run time [0, end] onto pixels [left, right], with ticks
// on whole hours or days of the calendar.
export class TimeAxis {
  constructor(startIso, end, left, right) {
    this.startMs = parseRunStart(startIso) ?? 0;
    this.end = Math.max(1, end);
    this.left = left;
    this.right = Math.max(left + 1, right);
  }

  x(t) {
    return this.left + ((this.right - this.left) * t) / this.end;
  }

  t(x) {
    const f = (x - this.left) / (this.right - this.left);
    return Math.round(Math.min(1, Math.max(0, f)) * this.end);
  }

  ticks(minSpacingPx = 90) {
    const pxPerSecond = (this.right - this.left) / this.end;
    const step = TICK_STEPS.find((s) => s * pxPerSecond >= minSpacingPx) ?? TICK_STEPS[TICK_STEPS.length - 1];
    // First tick: the first multiple of the step in calendar time after the start.
    const startSec = Math.floor(this.startMs / 1000);
    const first = Math.ceil(startSec / step) * step - startSec;
    const out = [];
    for (let t = first; t <= this.end; t += step) {
      const d = new Date(this.startMs + t * 1000);
      const dayTick = (d.getUTCHours() === 0 && d.getUTCMinutes() === 0) || step >= DAY;
      const label = dayTick
        ? `${d.getUTCDate()} ${MONTHS[d.getUTCMonth()]}`
        : `${pad(d.getUTCHours())}:${pad(d.getUTCMinutes())}`;
      out.push({ t, x: this.x(t), label, major: dayTick });
    }
    return out;
  }
}
