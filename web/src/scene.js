// The 3-D plant view: floors as slabs, vessels as translucent cylinders
// filled to their level, pipes with the moving slug, stubs and labels.
// Every position, size, colour and state comes from the API; this module
// only turns them into three.js objects.
//
// The plant's coordinates have z up; three.js has y up. A plant point
// (x, y, z) is drawn at (x, z, -y), which keeps the handedness.

import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { CSS2DRenderer, CSS2DObject } from 'three/addons/renderers/CSS2DRenderer.js';
import { pipeRoute, subRoute } from './route.js';
import { Instances, coneGeometry, mergeItems, paint, pickOf, routeParts } from './batches.js';

const SLAB_THICKNESS = 0.12;
const BACKGROUND = 0x1b2230;

export function toScene(p) {
  return new THREE.Vector3(p[0], p[2], -p[1]);
}

function colour(hex, fallback = '#b3b3b3') {
  return new THREE.Color(typeof hex === 'string' && /^#[0-9a-f]{6}$/i.test(hex) ? hex : fallback);
}

// Unit shapes the vessels are instanced from: scaled to (radius, height,
// radius) with their base at the origin.
const UNIT_SHELL = new THREE.CylinderGeometry(1, 1, 1, 32, 1, false).translate(0, 0.5, 0);
const UNIT_FILL = new THREE.CylinderGeometry(0.94, 0.94, 1, 32).translate(0, 0.5, 0);
const RIM_SEGMENTS = 48;

function disposeTree(object) {
  object.traverse((o) => {
    if (o.geometry) o.geometry.dispose();
    if (o.material) {
      for (const m of Array.isArray(o.material) ? o.material : [o.material]) m.dispose();
    }
    if (o.isCSS2DObject && o.element) o.element.remove();
  });
}

function disposeMesh(mesh) {
  if (!mesh) return;
  mesh.removeFromParent();
  mesh.geometry?.dispose();
  mesh.material?.dispose();
}

export class PlantView {
  constructor(container, { onPick } = {}) {
    this.container = container;
    this.onPick = onPick;
    this.model = null;
    this.state = null;
    this.selected = { vessels: new Set(), streams: new Set(), floors: new Set() };

    // Antialiasing multiplies the fragments of every frame, and a preserved
    // buffer costs a copy a frame: without them a playing clock keeps pace.
    this.renderer = new THREE.WebGLRenderer({ antialias: false, preserveDrawingBuffer: false });
    this.fullRatio = Math.min(window.devicePixelRatio || 1, 2);
    this.renderer.setPixelRatio(this.fullRatio);
    this.playing = false;
    this.renderTimes = [];
    this.renderer.setClearColor(BACKGROUND, 1);
    container.appendChild(this.renderer.domElement);
    this.renderer.domElement.classList.add('scene-canvas');

    this.labels = new CSS2DRenderer();
    this.labels.domElement.classList.add('scene-labels');
    container.appendChild(this.labels.domElement);

    this.scene = new THREE.Scene();
    this.camera = new THREE.PerspectiveCamera(45, 1, 0.1, 5000);
    this.camera.position.set(20, 20, 20);
    this.controls = new OrbitControls(this.camera, this.renderer.domElement);
    this.controls.addEventListener('change', () => this.render());

    this.scene.add(new THREE.HemisphereLight(0xdfe8ff, 0x303848, 1.6));
    const sun = new THREE.DirectionalLight(0xffffff, 1.8);
    sun.position.set(30, 60, 20);
    this.scene.add(sun);

    this.root = new THREE.Group();
    this.scene.add(this.root);

    this.raycaster = new THREE.Raycaster();
    this.installPicking();
    new ResizeObserver(() => this.resize()).observe(container);
    this.resize();
  }

  resize() {
    const w = Math.max(1, this.container.clientWidth);
    const h = Math.max(1, this.container.clientHeight);
    this.renderer.setSize(w, h, false);
    this.labels.setSize(w, h);
    this.camera.aspect = w / h;
    this.camera.updateProjectionMatrix();
    this.render();
  }

  // A state changes colours and levels only; the labels' places change
  // with the camera, the layout and the visibility.
  render({ labels = true } = {}) {
    if (labels) this.labelsDirty = true;
    if (this.pendingFrame) return;
    this.pendingFrame = requestAnimationFrame(() => {
      this.pendingFrame = 0;
      this.renderNow();
    });
  }

  // While the clock plays, a display that cannot draw the scene at the
  // frame rate (software GL draws it in 20-40 ms at full size) gets it at a
  // lower resolution, down to half; pausing draws it sharp again.
  setPlaying(on) {
    this.playing = on;
    this.renderTimes = [];
    if (!on && this.renderer.getPixelRatio() !== this.fullRatio) {
      this.renderer.setPixelRatio(this.fullRatio);
      this.resize();
    }
  }

  adaptResolution() {
    const times = this.renderTimes;
    times.push(performance.now());
    if (times.length < 12) return;
    const intervals = times.slice(1).map((t, i) => t - times[i]).sort((a, b) => a - b);
    this.renderTimes = [];
    const ratio = this.renderer.getPixelRatio();
    const floor = this.fullRatio / 2;
    if (intervals[intervals.length >> 1] > 21 && ratio > floor) {
      this.renderer.setPixelRatio(Math.max(floor, ratio * 0.75));
      this.resize();
    }
  }

  renderNow() {
    if (this.playing) this.adaptResolution();
    this.renderer.render(this.scene, this.camera);
    if (this.labelsDirty) {
      this.labelsDirty = false;
      this.labels.render(this.scene, this.camera);
    }
  }

  // Builds every object of the plant from /api/model.
  setModel(model) {
    const firstModel = !this.model;
    this.model = model;
    disposeTree(this.root);
    this.root.clear();
    this.floorObjects = [];
    this.vesselObjects = [];
    this.streamObjects = [];
    this.pickables = [];
    this.makeBatches(model.vessels.length);
    for (const floor of model.floors) this.addFloor(floor);
    for (const vessel of model.vessels) this.addVessel(vessel);
    for (const stream of model.streams) this.addStream(stream);
    this.setSelection({
      vessels: model.vessels.filter((v) => v.selected).map((v) => v.index),
      streams: model.streams.filter((s) => s.selected).map((s) => s.index),
      floors: model.floors.filter((f) => f.selected).map((f) => f.index),
    });
    this.applyVisibility(model.visibility);
    if (firstModel) this.fit();
    if (this.state) this.setState(this.state);
    this.render();
  }

  // A floor's rectangle as the model gives it; a floor whose corners are
  // still unset (no area) is drawn under its vessels with a margin.
  floorRect(floor) {
    const [x1, y1, x2, y2] = floor.corner || [0, 0, 0, 0];
    if (Math.abs(x2 - x1) > 1e-9 && Math.abs(y2 - y1) > 1e-9) return [x1, y1, x2, y2];
    const on = this.model.vessels.filter((v) => v.floor === floor.index);
    if (!on.length) return [floor.center[0] - 5, floor.center[1] - 5, floor.center[0] + 5, floor.center[1] + 5];
    const margin = 2;
    return [
      Math.min(...on.map((v) => v.x - v.radius)) - margin,
      Math.min(...on.map((v) => v.y - v.radius)) - margin,
      Math.max(...on.map((v) => v.x + v.radius)) + margin,
      Math.max(...on.map((v) => v.y + v.radius)) + margin,
    ];
  }

  addFloor(floor) {
    const [x1, y1, x2, y2] = this.floorRect(floor);
    const width = Math.max(0.1, Math.abs(x2 - x1));
    const depth = Math.max(0.1, Math.abs(y2 - y1));
    const material = new THREE.MeshPhongMaterial({
      color: colour(floor.colour, '#8090a0'),
      transparent: true,
      opacity: 0.16,
      depthWrite: false,
      side: THREE.DoubleSide,
    });
    const slab = new THREE.Mesh(new THREE.BoxGeometry(width, SLAB_THICKNESS, depth), material);
    const centre = toScene([(x1 + x2) / 2, (y1 + y2) / 2, floor.height - SLAB_THICKNESS / 2]);
    slab.position.copy(centre);
    slab.renderOrder = -1;
    slab.userData = { kind: 'floor', index: floor.index, item: floor.item };
    const edges = new THREE.LineSegments(
      new THREE.EdgesGeometry(slab.geometry),
      new THREE.LineBasicMaterial({ color: 0x9fb3c8, transparent: true, opacity: 0.55 }),
    );
    slab.add(edges);
    const label = this.makeLabel(floor.name || `Floor ${floor.index + 1}`, 'floor-label');
    label.position.set(-width / 2, SLAB_THICKNESS, depth / 2);
    slab.add(label);
    this.root.add(slab);
    this.floorObjects[floor.index] = { slab, material, edges, label, floor };
    this.pickables.push(slab);
  }

  // The vessels' shells (translucent, brighter while an operation runs),
  // contents and rims, each one draw call for the whole plant.
  makeBatches(capacity) {
    for (const b of [this.idleShells, this.activeShells, this.fills]) b?.dispose();
    const shell = (opacity) =>
      new THREE.MeshPhongMaterial({ transparent: true, opacity, depthWrite: false, side: THREE.DoubleSide, shininess: 60 });
    this.idleShells = new Instances(UNIT_SHELL, shell(0.34), capacity);
    this.activeShells = new Instances(UNIT_SHELL, shell(0.5), capacity);
    this.fills = new Instances(UNIT_FILL, new THREE.MeshPhongMaterial({ shininess: 30 }), capacity);
    for (const b of [this.fills, this.idleShells, this.activeShells]) {
      this.root.add(b.mesh);
      this.pickables.push(b.mesh);
    }
    this.pipes = null;
    this.rims = null;
    this.slugs = null;
    this.slugMaterial = null;
  }

  addVessel(vessel) {
    const group = new THREE.Group();
    group.position.copy(toScene([vessel.x, vessel.y, vessel.z]));
    const r = Math.max(0.05, vessel.radius);
    const h = Math.max(0.05, vessel.height);
    const label = this.makeLabel(vessel.name, 'vessel-label');
    label.element.style.color = vessel.labelColour || '#ffff00';
    label.position.set(0, h + 0.25, 0);
    group.add(label);
    this.root.add(group);
    this.vesselObjects[vessel.index] = {
      group,
      label,
      vessel,
      r,
      h,
      level: 0,
      active: false,
      colour: colour(vessel.colour),
      contents: colour('#ff0000'),
      pick: { kind: 'vessel', index: vessel.index, item: vessel.item },
    };
  }

  addStream(stream) {
    const straight = this.model.visibility?.straightPipes && stream.kind === 'connecting';
    const route = pipeRoute(stream.fromPoint, stream.toPoint, straight);
    const radius = Math.max(0.02, stream.radius * (stream.kind === 'connecting' ? 0.5 : 0.35));
    const scenePoints = route.map(toScene);
    const pick = stream.item ? { kind: 'stream', index: stream.index, item: stream.item } : null;
    const parts = routeParts(scenePoints, radius).map((p) => ({ geometry: p.geometry, pick: p.leg ? pick : null }));
    if (stream.kind !== 'connecting') {
      // Stubs end in a small cone pointing the way the material goes.
      const tipAt = stream.kind === 'input' || stream.kind === 'utility' ? scenePoints[0] : scenePoints.at(-1);
      const dir = new THREE.Vector3().subVectors(scenePoints.at(-1), scenePoints[0]).normalize();
      parts.push({ geometry: coneGeometry(tipAt, dir, radius * 2.2, radius * 4), pick: null });
    }
    this.streamObjects[stream.index] = {
      parts,
      route,
      radius,
      stream,
      visible: true,
      colour: colour(stream.colour),
      slug: null,
      lastSlug: '',
    };
  }

  // The pipes and the rims of the visible items, joined; made again when
  // the visibility changes.
  rebuildStatic() {
    disposeMesh(this.pipes);
    disposeMesh(this.rims);
    const streams = this.streamObjects.filter((o) => o && o.visible);
    const merged = mergeItems(streams.map((o) => ({ parts: o.parts, colour: o.colour })));
    for (const o of this.streamObjects) if (o) o.range = null;
    streams.forEach((o, i) => (o.range = merged.ranges[i]));
    this.pipes = null;
    if (merged.geometry) {
      const material = new THREE.MeshPhongMaterial({ vertexColors: true, transparent: true, opacity: 0.75 });
      this.pipes = new THREE.Mesh(merged.geometry, material);
      this.pipes.userData = { picks: merged.picks };
      this.root.add(this.pipes);
    }

    const vessels = this.vesselObjects.filter((o) => o && o.group.visible);
    const positions = new Float32Array(vessels.length * RIM_SEGMENTS * 4 * 3);
    let at = 0;
    for (const o of vessels) {
      o.rimRange = { start: at / 3, count: RIM_SEGMENTS * 4 };
      const p = o.group.position;
      for (const y of [0, o.h]) {
        for (let i = 0; i < RIM_SEGMENTS; i += 1) {
          for (const k of [i, i + 1]) {
            const a = (k / RIM_SEGMENTS) * Math.PI * 2;
            positions.set([p.x + Math.cos(a) * o.r, p.y + y, p.z + Math.sin(a) * o.r], at);
            at += 3;
          }
        }
      }
    }
    this.rims = null;
    if (vessels.length) {
      const geometry = new THREE.BufferGeometry();
      geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
      geometry.setAttribute('color', new THREE.BufferAttribute(new Float32Array(positions.length), 3));
      for (const o of vessels) paint(geometry, o.rimRange, o.colour);
      this.rims = new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({ vertexColors: true }));
      this.root.add(this.rims);
    }
    this.slugsChanged = true;
    this.updateVessels();
    this.updateSlugs();
  }

  // The instances of the visible vessels, from their state.
  updateVessels() {
    const idle = [];
    const active = [];
    const fills = [];
    for (const o of this.vesselObjects) {
      if (!o || !o.group.visible) continue;
      const p = o.group.position;
      (o.active ? active : idle).push({ position: p, sx: o.r, sy: o.h, sz: o.r, colour: o.colour, pick: o.pick });
      if (o.level > 0) fills.push({ position: p, sx: o.r, sy: Math.max(1e-4, o.level * o.h), sz: o.r, colour: o.contents, pick: o.pick });
      if (o.rimRange && this.rims) paint(this.rims.geometry, o.rimRange, o.colour);
    }
    this.idleShells.set(idle);
    this.activeShells.set(active);
    this.fills.set(fills);
  }

  // The flowing part of every visible pipe, as one mesh.
  updateSlugs() {
    if (!this.slugsChanged) return;
    this.slugsChanged = false;
    if (this.slugs) {
      this.slugs.removeFromParent();
      this.slugs.geometry.dispose();
      this.slugs = null;
    }
    const items = this.streamObjects.filter((o) => o && o.visible && o.slug).map((o) => o.slug);
    const merged = mergeItems(items);
    if (!merged.geometry) return;
    this.slugMaterial ??= new THREE.MeshPhongMaterial({ vertexColors: true, emissive: 0x202020 });
    this.slugs = new THREE.Mesh(merged.geometry, this.slugMaterial);
    this.root.add(this.slugs);
  }

  makeLabel(text, className) {
    const element = document.createElement('div');
    element.className = `label ${className}`;
    element.textContent = text;
    return new CSS2DObject(element);
  }

  applyVisibility(visibility) {
    if (!this.model) return;
    this.model.visibility = visibility;
    const v = visibility || {};
    for (const o of this.floorObjects) {
      if (!o) continue;
      o.slab.visible = v.floors !== false && o.floor.visible !== false;
      o.label.visible = o.slab.visible && v.labels !== false;
    }
    for (const o of this.vesselObjects) {
      if (!o) continue;
      o.group.visible = v.vessels !== false && o.vessel.visible !== false;
      o.label.visible = o.group.visible && v.labels !== false && o.vessel.showLabel !== false;
    }
    for (const o of this.streamObjects) {
      if (!o) continue;
      const s = o.stream;
      const ends = [s.from, s.to].filter((i) => i !== null && i !== undefined);
      const endsVisible = ends.every((i) => this.vesselObjects[i]?.group.visible !== false);
      o.visible = v.pipes !== false && endsVisible && !(s.crossFloor && v.crossFloorPipes === false);
    }
    this.rebuildStatic();
    this.render();
  }

  setFloorVisible(index, visible) {
    const floor = this.model?.floors[index];
    if (floor) floor.visible = visible;
    this.applyVisibility(this.model?.visibility);
  }

  // Applies /api/state: levels, shell and contents colours, flowing pipes.
  setState(state) {
    this.state = state;
    if (!this.model) return;
    for (const vs of state.vessels || []) {
      const o = this.vesselObjects[vs.index];
      if (!o) continue;
      o.level = Math.min(1, Math.max(0, Number(vs.volume) || 0));
      o.contents = colour(vs.contents, '#ff0000');
      o.colour = colour(vs.colour);
      o.active = !!vs.active;
      o.label.element.classList.toggle('active', o.active);
    }
    for (const ss of state.streams || []) {
      const o = this.streamObjects[ss.index];
      if (!o) continue;
      o.colour = colour(ss.colour);
      if (this.pipes) paint(this.pipes.geometry, o.range, o.colour);
      const key = ss.flowing ? `${ss.segmentStart}:${ss.segmentEnd}:${ss.contents}` : '';
      if (key === o.lastSlug) continue;
      o.lastSlug = key;
      this.slugsChanged = true;
      for (const part of o.slug?.parts || []) part.geometry.dispose();
      o.slug = null;
      if (!ss.flowing) continue;
      const points = subRoute(o.route, ss.segmentStart, ss.segmentEnd).map(toScene);
      if (points.length >= 2) o.slug = { parts: routeParts(points, o.radius * 1.45), colour: colour(ss.contents, '#ff0000') };
    }
    this.updateVessels();
    this.updateSlugs();
    this.render({ labels: false });
  }

  // Marks the selected items (their red shell colour comes with the state).
  setSelection(selection) {
    this.selected = {
      vessels: new Set(selection.vessels || []),
      streams: new Set(selection.streams || []),
      floors: new Set(selection.floors || []),
    };
    for (const o of this.vesselObjects || []) {
      if (!o) continue;
      const on = this.selected.vessels.has(o.vessel.index);
      o.label.element.classList.toggle('selected', on);
      // A halo the library's red shell cannot be mistaken for batch 1's red
      // contents by: a bright ring at the rim and the foot.
      if (on && !o.halo) {
        const r = o.vessel.radius * 1.12;
        const ring = new THREE.TorusGeometry(r, Math.max(0.04, r * 0.06), 8, 48);
        ring.rotateX(Math.PI / 2);
        const material = new THREE.MeshBasicMaterial({ color: 0xffe14d });
        o.halo = new THREE.Group();
        for (const y of [0.02, o.h]) {
          const mesh = new THREE.Mesh(ring, material);
          mesh.position.y = y;
          o.halo.add(mesh);
        }
        o.group.add(o.halo);
      }
      if (o.halo) o.halo.visible = on;
    }
    for (const o of this.floorObjects || []) {
      if (!o) continue;
      const on = this.selected.floors.has(o.floor.index);
      o.edges.material.color.set(on ? 0xff3030 : 0x9fb3c8);
      o.edges.material.opacity = on ? 1 : 0.55;
    }
    this.render();
  }

  setColours(colours) {
    for (const [index, hex] of Object.entries(colours?.streams || {})) {
      const o = this.streamObjects[index];
      if (!o) continue;
      o.colour = colour(hex);
      if (this.pipes) paint(this.pipes.geometry, o.range, o.colour);
    }
    for (const [index, hex] of Object.entries(colours?.vessels || {})) {
      const o = this.vesselObjects[index];
      if (o) o.colour = colour(hex);
    }
    for (const [index, hex] of Object.entries(colours?.floors || {})) {
      this.floorObjects[index]?.material.color.copy(colour(hex));
    }
    this.updateVessels();
    this.render();
  }

  bounds() {
    const box = new THREE.Box3();
    for (const o of this.floorObjects || []) if (o) box.expandByObject(o.slab);
    for (const o of this.vesselObjects || []) {
      if (!o) continue;
      const p = o.group.position;
      box.expandByPoint(new THREE.Vector3(p.x - o.r, p.y, p.z - o.r));
      box.expandByPoint(new THREE.Vector3(p.x + o.r, p.y + o.h, p.z + o.r));
    }
    if (box.isEmpty()) box.set(new THREE.Vector3(-5, 0, -5), new THREE.Vector3(5, 3, 5));
    return box;
  }

  // Looks at the plant from above one long side and moves the camera as
  // close as it can while every corner of the plant's box stays in view.
  fit() {
    const box = this.bounds();
    const centre = box.getCenter(new THREE.Vector3());
    const size = box.getSize(new THREE.Vector3());
    const dir = (size.z > size.x ? new THREE.Vector3(1.15, 0.8, 0.5) : new THREE.Vector3(0.5, 0.8, 1.15)).normalize();
    const corners = [];
    for (const x of [box.min.x, box.max.x])
      for (const y of [box.min.y, box.max.y]) for (const z of [box.min.z, box.max.z]) corners.push(new THREE.Vector3(x, y, z));
    const fits = (distance) => {
      this.camera.position.copy(centre).addScaledVector(dir, distance);
      this.camera.lookAt(centre);
      this.camera.updateMatrixWorld();
      return corners.every((c) => {
        const p = c.clone().project(this.camera);
        return Math.abs(p.x) < 0.92 && Math.abs(p.y) < 0.88 && p.z < 1;
      });
    };
    let near = 0.5;
    let far = Math.max(size.length() * 4, 10);
    this.camera.near = 0.05;
    this.camera.far = far * 10;
    this.camera.updateProjectionMatrix();
    for (let i = 0; i < 30; i += 1) {
      const mid = (near + far) / 2;
      if (fits(mid)) far = mid;
      else near = mid;
    }
    this.camera.position.copy(centre).addScaledVector(dir, far);
    this.camera.near = Math.max(0.05, far / 300);
    this.camera.far = far * 20;
    this.camera.updateProjectionMatrix();
    this.controls.target.copy(centre);
    this.controls.update();
    this.render();
  }

  topView() {
    const box = this.bounds();
    const centre = box.getCenter(new THREE.Vector3());
    const size = box.getSize(new THREE.Vector3());
    const extent = Math.max(size.x, size.z / this.camera.aspect, 1);
    const distance = (extent / 2 / Math.tan(THREE.MathUtils.degToRad(this.camera.fov / 2))) * 1.1 + size.y;
    this.camera.position.set(centre.x, box.max.y + distance, centre.z + 1e-3);
    this.camera.near = Math.max(0.05, distance / 200);
    this.camera.far = distance * 20;
    this.camera.updateProjectionMatrix();
    this.controls.target.set(centre.x, box.max.y, centre.z);
    this.controls.update();
    this.render();
  }

  // Client coordinates of a plant point, for tests and tooltips.
  project(point) {
    const v = toScene(point).project(this.camera);
    const rect = this.renderer.domElement.getBoundingClientRect();
    return { x: rect.left + ((v.x + 1) / 2) * rect.width, y: rect.top + ((1 - v.y) / 2) * rect.height };
  }

  // A click picks the nearest visible vessel on the ray; pipes and floors
  // only when no vessel is hit, since they are thin or translucent and
  // would otherwise hide the vessels behind and on them.
  pickAt(clientX, clientY) {
    const rect = this.renderer.domElement.getBoundingClientRect();
    const ndc = new THREE.Vector2(((clientX - rect.left) / rect.width) * 2 - 1, -((clientY - rect.top) / rect.height) * 2 + 1);
    this.raycaster.setFromCamera(ndc, this.camera);
    const visible = (o) => {
      for (let p = o; p; p = p.parent) if (!p.visible) return false;
      return true;
    };
    const hits = this.raycaster
      .intersectObjects([...this.pickables, ...(this.pipes ? [this.pipes] : [])], false)
      .filter((h) => visible(h.object))
      .map((h) => {
        const d = h.object.userData;
        if (d.instances) return d.instances[h.instanceId];
        if (d.picks) return pickOf(d.picks, h.faceIndex);
        return d;
      })
      .filter((d) => d && d.kind);
    for (const kind of ['vessel', 'stream', 'floor']) {
      const hit = hits.find((d) => d.kind === kind);
      if (hit) return hit;
    }
    return null;
  }

  installPicking() {
    const canvas = this.renderer.domElement;
    let down = null;
    canvas.addEventListener('pointerdown', (e) => {
      down = { x: e.clientX, y: e.clientY, button: e.button };
    });
    canvas.addEventListener('pointerup', (e) => {
      if (!down || down.button !== 0) return;
      const moved = Math.hypot(e.clientX - down.x, e.clientY - down.y);
      down = null;
      if (moved > 4) return; // an orbit drag, not a click
      const hit = this.pickAt(e.clientX, e.clientY);
      if (this.onPick) this.onPick(hit ? hit.item : 0, hit);
    });
  }

  vesselLevel(index) {
    const o = this.vesselObjects?.[index];
    return o ? (o.level > 0 ? Math.max(1e-4, o.level * o.h) / o.h : 0) : null;
  }
}
