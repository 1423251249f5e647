// Geometry batches of the 3-D view. Software WebGL (SwiftShader, what a
// machine without a GPU runs) pays about 60-100 µs a draw call, so a plant
// of a few dozen vessels and pipes drawn object by object (about 300 calls)
// cannot keep up with a playing clock. Pipes and slugs are joined into one
// mesh each with a colour per vertex, vessels are instanced, and each item
// keeps the ranges it owns so that colours change and picks resolve without
// rebuilding anything.

import * as THREE from 'three';
import { mergeGeometries } from 'three/addons/utils/BufferGeometryUtils.js';

const UP = new THREE.Vector3(0, 1, 0);
const ONE = new THREE.Vector3(1, 1, 1);

// A cylinder between two scene points.
export function legGeometry(a, b, radius) {
  const dir = new THREE.Vector3().subVectors(b, a);
  const length = dir.length();
  const geometry = new THREE.CylinderGeometry(radius, radius, Math.max(length, 1e-6), 8, 1, true);
  const turn = new THREE.Quaternion();
  if (length > 0) turn.setFromUnitVectors(UP, dir.clone().normalize());
  const centre = a.clone().addScaledVector(dir, 0.5);
  return geometry.applyMatrix4(new THREE.Matrix4().compose(centre, turn, ONE));
}

export function jointGeometry(p, radius) {
  return new THREE.SphereGeometry(radius, 8, 6).translate(p.x, p.y, p.z);
}

// A cone with its centre at `at`, pointing along `dir`.
export function coneGeometry(at, dir, radius, length) {
  const turn = new THREE.Quaternion();
  if (dir.lengthSq() > 0) turn.setFromUnitVectors(UP, dir);
  return new THREE.ConeGeometry(radius, length, 12).applyMatrix4(new THREE.Matrix4().compose(at, turn, ONE));
}

// The legs and joints of a route of scene points: [{ geometry, leg }].
export function routeParts(points, radius) {
  const parts = [];
  for (let i = 1; i < points.length; i += 1) {
    parts.push({ geometry: legGeometry(points[i - 1], points[i], radius), leg: true });
    if (i > 1) parts.push({ geometry: jointGeometry(points[i - 1], radius), leg: false });
  }
  return parts;
}

// One geometry of many items' parts. `items` are { parts: [{ geometry,
// pick }], colour }, where `pick` is what a ray that hits the part
// resolves to (null: the part is not pickable). Answers the geometry (null
// when there are no parts), each item's vertex range (for its colour) and
// the pickable triangle ranges.
export function mergeItems(items) {
  const geometries = [];
  const ranges = [];
  const picks = [];
  let vertices = 0;
  let triangles = 0;
  for (const item of items) {
    const start = vertices;
    for (const part of item.parts) {
      const g = part.geometry;
      geometries.push(g);
      const count = g.index.count / 3;
      if (part.pick) picks.push({ from: triangles, to: triangles + count, pick: part.pick });
      vertices += g.attributes.position.count;
      triangles += count;
    }
    ranges.push({ start, count: vertices - start });
  }
  if (!geometries.length) return { geometry: null, ranges, picks };
  for (const g of geometries) g.deleteAttribute('uv');
  const geometry = mergeGeometries(geometries, false);
  geometry.setAttribute('color', new THREE.BufferAttribute(new Float32Array(vertices * 3), 3));
  items.forEach((item, i) => paint(geometry, ranges[i], item.colour));
  return { geometry, ranges, picks };
}

// Colours a vertex range; answers whether anything changed.
export function paint(geometry, range, c) {
  if (!geometry || !range || !range.count) return false;
  const a = geometry.attributes.color.array;
  const at = range.start * 3;
  if (a[at] === c.r && a[at + 1] === c.g && a[at + 2] === c.b) return false;
  for (let i = at, end = at + range.count * 3; i < end; i += 3) {
    a[i] = c.r;
    a[i + 1] = c.g;
    a[i + 2] = c.b;
  }
  geometry.attributes.color.needsUpdate = true;
  return true;
}

// What a triangle of a merged mesh stands for.
export function pickOf(picks, faceIndex) {
  let lo = 0;
  let hi = picks.length - 1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    if (faceIndex < picks[mid].from) hi = mid - 1;
    else if (faceIndex >= picks[mid].to) lo = mid + 1;
    else return picks[mid].pick;
  }
  return null;
}

// Instances of one shape, filled afresh from a list each time they change.
export class Instances {
  constructor(geometry, material, capacity) {
    this.mesh = new THREE.InstancedMesh(geometry, material, Math.max(1, capacity));
    this.mesh.instanceColor = new THREE.InstancedBufferAttribute(new Float32Array(Math.max(1, capacity) * 3), 3);
    this.mesh.count = 0;
    this.mesh.userData = { instances: [] };
    this.matrix = new THREE.Matrix4();
    this.scale = new THREE.Vector3();
    this.turn = new THREE.Quaternion();
  }

  // entries: [{ position, sx, sy, sz, colour, pick }]
  set(entries) {
    const mesh = this.mesh;
    const n = Math.min(entries.length, mesh.instanceMatrix.count);
    for (let i = 0; i < n; i += 1) {
      const e = entries[i];
      this.matrix.compose(e.position, this.turn, this.scale.set(e.sx, e.sy, e.sz));
      mesh.setMatrixAt(i, this.matrix);
      mesh.setColorAt(i, e.colour);
      mesh.userData.instances[i] = e.pick;
    }
    mesh.userData.instances.length = n;
    mesh.count = n;
    mesh.instanceMatrix.needsUpdate = true;
    mesh.instanceColor.needsUpdate = true;
    // Culling and picking use the instances' bounds: found again when asked.
    mesh.boundingSphere = null;
    mesh.boundingBox = null;
  }

  dispose() {
    this.mesh.dispose();
  }
}
