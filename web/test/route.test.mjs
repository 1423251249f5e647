import { test } from 'node:test';
import assert from 'node:assert/strict';
import { pipeRoute, subRoute } from '../src/route.js';

const manhattan = (a, b) => a.reduce((s, v, k) => s + Math.abs(v - b[k]), 0);
const length = (route) => route.slice(1).reduce((s, p, i) => s + Math.hypot(...p.map((v, k) => v - route[i][k])), 0);

test('a pipe runs in axis-parallel legs whose length is the library path length', () => {
  const from = [1, 2, 0.5];
  const to = [-3, 7, 2];
  const route = pipeRoute(from, to, false);
  assert.deepEqual(route, [from, [-3, 2, 0.5], [-3, 7, 0.5], to]);
  for (let i = 1; i < route.length; i += 1) {
    const changed = route[i].filter((v, k) => v !== route[i - 1][k]).length;
    assert.equal(changed, 1, `leg ${i} is not parallel to an axis`);
  }
  assert.equal(length(route), manhattan(from, to));
});

test('legs of no length are left out, and straight pipes are one leg', () => {
  assert.deepEqual(pipeRoute([0, 0, 1], [0, 5, 1], false), [[0, 0, 1], [0, 5, 1]]);
  assert.deepEqual(pipeRoute([2, 2, 2], [2, 2, 2], false), [[2, 2, 2]]);
  assert.deepEqual(pipeRoute([0, 0, 0], [3, 4, 0], true), [[0, 0, 0], [3, 4, 0]]);
});

test('the slug covers the fractions of the path length, across bends', () => {
  // Path length 8 (4 along x, then 4 along y): fractions 0.25 to 0.75 run
  // from 2 to 6 along it, turning the corner at 4.
  const route = pipeRoute([0, 0, 0], [4, 4, 0], false);
  assert.deepEqual(subRoute(route, 0.25, 0.75), [[2, 0, 0], [4, 0, 0], [4, 2, 0]]);
  assert.deepEqual(subRoute(route, 0, 1), route);
  assert.deepEqual(subRoute(route, 0, 0.5), [[0, 0, 0], [4, 0, 0]]);
  assert.deepEqual(subRoute(route, 0.5, 1), [[4, 0, 0], [4, 4, 0]]);
});

test('fractions outside 0..1 are limited and an empty or reversed span draws nothing', () => {
  const route = [[0, 0, 0], [10, 0, 0]];
  assert.deepEqual(subRoute(route, -0.5, 0.3), [[0, 0, 0], [3, 0, 0]]);
  assert.deepEqual(subRoute(route, 0.8, 1.7), [[8, 0, 0], [10, 0, 0]]);
  assert.deepEqual(subRoute(route, 0.4, 0.4), []);
  assert.deepEqual(subRoute(route, 0.6, 0.2), []);
  assert.deepEqual(subRoute(route, 1.2, 1.5), []);
  assert.deepEqual(subRoute([[1, 1, 1], [1, 1, 1]], 0, 1), []);
  assert.deepEqual(subRoute([[1, 1, 1]], 0, 1), []);
  assert.deepEqual(subRoute(route, Number.NaN, 1), []);
});
