// Pipe routes of the 3-D view in plant coordinates (z up).

// The drawn route of a pipe through plant points. The library measures a
// path as |dx| + |dy| + |dz|, so pipes run in axis-parallel legs (x, then y,
// then z) and a fraction of that length lands at the same place on the
// drawing. Straight pipes are drawn as one leg.
export function pipeRoute(from, to, straight) {
  if (straight) return [from, to];
  const points = [from, [to[0], from[1], from[2]], [to[0], to[1], from[2]], to];
  return points.filter((p, i) => i === 0 || p.some((v, k) => v !== points[i - 1][k]));
}

// The part of a route between two fractions of its length.
export function subRoute(route, f0, f1) {
  const lengths = [];
  let total = 0;
  for (let i = 1; i < route.length; i += 1) {
    const l = Math.hypot(...route[i].map((v, k) => v - route[i - 1][k]));
    lengths.push(l);
    total += l;
  }
  if (total <= 0 || !(f1 > f0)) return [];
  const a = Math.max(0, f0) * total;
  const b = Math.min(1, f1) * total;
  const at = (i, d) => route[i].map((v, k) => v + ((route[i + 1][k] - v) * d) / (lengths[i] || 1));
  const out = [];
  let walked = 0;
  for (let i = 0; i < lengths.length; i += 1) {
    const s = walked;
    const e = walked + lengths[i];
    walked = e;
    if (e <= a || s >= b || lengths[i] === 0) continue;
    const p0 = at(i, Math.max(a, s) - s);
    const p1 = at(i, Math.min(b, e) - s);
    if (!out.length) out.push(p0);
    out.push(p1);
  }
  return out;
}
