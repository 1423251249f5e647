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

// "Tue 9 Apr 2024 17:19" of a run time, for tooltips.
export function formatRunDate(startIso, seconds) {
  const ms = parseRunStart(startIso);
  if (ms === null) return formatElapsed(seconds);
  const d = new Date(ms + seconds * 1000);
  return `${WEEKDAYS[d.getUTCDay()]} ${d.getUTCDate()} ${MONTHS[d.getUTCMonth()]} ${d.getUTCFullYear()} ${pad(
    d.getUTCHours(),
  )}:${pad(d.getUTCMinutes())}`;
}

// Calendar steps of the ticks, smallest first: [unit, count, rough seconds].
const STEPS = [
  ['minute', 1, MINUTE], ['minute', 5, 5 * MINUTE], ['minute', 15, 15 * MINUTE], ['minute', 30, 30 * MINUTE],
  ['hour', 1, HOUR], ['hour', 2, 2 * HOUR], ['hour', 3, 3 * HOUR], ['hour', 6, 6 * HOUR], ['hour', 12, 12 * HOUR],
  ['day', 1, DAY], ['day', 2, 2 * DAY], ['week', 1, 7 * DAY], ['month', 1, 30.44 * DAY], ['month', 3, 91.3 * DAY],
  ['month', 6, 182.6 * DAY], ['year', 1, 365.25 * DAY], ['year', 5, 1826 * DAY], ['year', 10, 3652 * DAY],
];

// The first tick at or after ms (UTC fields hold the run's wall clock) and
// the one after a tick.
function firstTick(ms, [unit, count]) {
  const d = new Date(ms);
  const y = d.getUTCFullYear();
  const m = d.getUTCMonth();
  const day = Date.UTC(y, m, d.getUTCDate());
  let t;
  if (unit === 'minute' || unit === 'hour') {
    const step = (unit === 'hour' ? HOUR : MINUTE) * count * 1000;
    t = day + Math.ceil((ms - day) / step) * step;
  } else if (unit === 'day') t = day < ms ? day + DAY * 1000 : day;
  else if (unit === 'week') {
    const monday = day - ((d.getUTCDay() + 6) % 7) * DAY * 1000;
    t = monday < ms ? monday + 7 * DAY * 1000 : monday;
  } else if (unit === 'month') {
    let mm = Math.ceil(m / count) * count;
    t = Date.UTC(y, mm, 1);
    if (t < ms) t = Date.UTC(y, (mm += count), 1);
  } else {
    let yy = Math.ceil(y / count) * count;
    t = Date.UTC(yy, 0, 1);
    if (t < ms) t = Date.UTC(yy + count, 0, 1);
  }
  return t;
}

function nextTick(ms, [unit, count]) {
  const d = new Date(ms);
  if (unit === 'month') return Date.UTC(d.getUTCFullYear(), d.getUTCMonth() + count, 1);
  if (unit === 'year') return Date.UTC(d.getUTCFullYear() + count, 0, 1);
  const seconds = { minute: MINUTE, hour: HOUR, day: DAY, week: 7 * DAY }[unit] * count;
  return ms + seconds * 1000;
}

function tickLabel(ms, [unit], withYear) {
  const d = new Date(ms);
  const y = d.getUTCFullYear();
  const mon = MONTHS[d.getUTCMonth()];
  const date = `${d.getUTCDate()} ${mon}${withYear ? ` ${y}` : ''}`;
  if (unit === 'year') return String(y);
  if (unit === 'month') return withYear ? `${mon} ${y}` : mon;
  if (unit === 'day' || unit === 'week') return date;
  const clock = `${pad(d.getUTCHours())}:${pad(d.getUTCMinutes())}`;
  const newDay = d.getUTCHours() === 0 && d.getUTCMinutes() === 0;
  return withYear || newDay ? `${date} ${clock}` : clock;
}

// A linear map of the run times [from, to] onto pixels [left, right], with
// ticks on round calendar steps that leave their labels room, the year shown
// at the first tick and wherever it changes. `new TimeAxis(start, end, l, r)`
// is the whole run.
export class TimeAxis {
  constructor(startIso, from, to, left, right) {
    if (right === undefined) [from, to, left, right] = [0, from, to, left];
    this.startIso = startIso;
    this.startMs = parseRunStart(startIso) ?? 0;
    this.dated = parseRunStart(startIso) !== null;
    this.from = from;
    this.to = Math.max(from + 1, to);
    this.end = this.to;
    this.left = left;
    this.right = Math.max(left + 1, right);
  }

  get span() {
    return this.to - this.from;
  }

  x(t) {
    return this.left + ((this.right - this.left) * (t - this.from)) / this.span;
  }

  t(x) {
    const f = (x - this.left) / (this.right - this.left);
    return Math.round(this.from + Math.min(1, Math.max(0, f)) * this.span);
  }

  ticks(minSpacingPx = 90) {
    const pxPerSecond = (this.right - this.left) / this.span;
    const step = STEPS.find((s) => s[2] * pxPerSecond >= minSpacingPx) ?? STEPS[STEPS.length - 1];
    const out = [];
    let lastYear = null;
    const endMs = this.startMs + this.to * 1000;
    for (let ms = firstTick(this.startMs + this.from * 1000, step); ms <= endMs && out.length < 400; ms = nextTick(ms, step)) {
      const t = Math.round((ms - this.startMs) / 1000);
      const year = new Date(ms).getUTCFullYear();
      const major = step[0] === 'year' || step[0] === 'month' ? new Date(ms).getUTCMonth() === 0 : new Date(ms).getUTCHours() === 0;
      out.push({ t, x: this.x(t), label: tickLabel(ms, step, year !== lastYear), major });
      lastYear = year;
    }
    return out;
  }
}
