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

const SLAB_THICKNESS = 0.12;
const BACKGROUND = 0x1b2230;

export function toScene(p) {
  return new THREE.Vector3(p[0], p[2], -p[1]);
}

function colour(hex, fallback = '#b3b3b3') {
  return new THREE.Color(typeof hex === 'string' && /^#[0-9a-f]{6}$/i.test(hex) ? hex : fallback);
}

const UP = new THREE.Vector3(0, 1, 0);

// A cylinder between two scene points.
function legMesh(a, b, radius, material) {
  const dir = new THREE.Vector3().subVectors(b, a);
  const length = dir.length();
  const geometry = new THREE.CylinderGeometry(radius, radius, Math.max(length, 1e-6), 10, 1, false);
  const mesh = new THREE.Mesh(geometry, material);
  mesh.position.copy(a).addScaledVector(dir, 0.5);
  if (length > 0) mesh.quaternion.setFromUnitVectors(UP, dir.normalize());
  return mesh;
}

function jointMesh(p, radius, material) {
  const mesh = new THREE.Mesh(new THREE.SphereGeometry(radius, 10, 8), material);
  mesh.position.copy(p);
  return mesh;
}

function disposeTree(object) {
  object.traverse((o) => {
    if (o.geometry) o.geometry.dispose();
    if (o.material) {
      for (const m of Array.isArray(o.material) ? o.material : [o.material]) m.dispose();
    }
    if (o.isCSS2DObject && o.element) o.element.remove();
  });
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
    this.renderer.setPixelRatio(Math.min(window.devicePixelRatio || 1, 2));
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

  render() {
    if (this.pendingFrame) return;
    this.pendingFrame = requestAnimationFrame(() => {
      this.pendingFrame = 0;
      this.renderNow();
    });
  }

  renderNow() {
    this.renderer.render(this.scene, this.camera);
    this.labels.render(this.scene, this.camera);
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

  addVessel(vessel) {
    const group = new THREE.Group();
    group.position.copy(toScene([vessel.x, vessel.y, vessel.z]));
    const r = Math.max(0.05, vessel.radius);
    const h = Math.max(0.05, vessel.height);

    const shellMaterial = new THREE.MeshPhongMaterial({
      color: colour(vessel.colour),
      transparent: true,
      opacity: 0.32,
      depthWrite: false,
      side: THREE.DoubleSide,
      shininess: 60,
    });
    const shell = new THREE.Mesh(new THREE.CylinderGeometry(r, r, h, 40, 1, false), shellMaterial);
    shell.position.y = h / 2;
    shell.userData = { kind: 'vessel', index: vessel.index, item: vessel.item };
    group.add(shell);

    const rimMaterial = new THREE.LineBasicMaterial({ color: colour(vessel.colour) });
    const rimGeometry = new THREE.BufferGeometry().setFromPoints(
      Array.from({ length: 48 }, (_, i) => {
        const a = (i / 48) * Math.PI * 2;
        return new THREE.Vector3(Math.cos(a) * r, 0, Math.sin(a) * r);
      }),
    );
    for (const y of [0, h]) {
      const rim = new THREE.LineLoop(rimGeometry, rimMaterial);
      rim.position.y = y;
      group.add(rim);
    }

    // The contents: a unit-height cylinder scaled to the level.
    const fillMaterial = new THREE.MeshPhongMaterial({ color: colour('#ff0000'), shininess: 30 });
    const fillGeometry = new THREE.CylinderGeometry(r * 0.94, r * 0.94, 1, 40);
    fillGeometry.translate(0, 0.5, 0);
    const fill = new THREE.Mesh(fillGeometry, fillMaterial);
    fill.scale.y = 1e-4;
    fill.visible = false;
    fill.userData = { kind: 'vessel', index: vessel.index, item: vessel.item };
    group.add(fill);

    const label = this.makeLabel(vessel.name, 'vessel-label');
    label.element.style.color = vessel.labelColour || '#ffff00';
    label.position.set(0, h + 0.25, 0);
    group.add(label);

    this.root.add(group);
    this.vesselObjects[vessel.index] = { group, shell, shellMaterial, rimMaterial, fill, fillMaterial, label, vessel, h };
    this.pickables.push(shell, fill);
  }

  addStream(stream) {
    const group = new THREE.Group();
    const straight = this.model.visibility?.straightPipes && stream.kind === 'connecting';
    const route = pipeRoute(stream.fromPoint, stream.toPoint, straight);
    const radius = Math.max(0.02, stream.radius * (stream.kind === 'connecting' ? 0.5 : 0.35));
    const material = new THREE.MeshPhongMaterial({ color: colour(stream.colour), transparent: true, opacity: 0.75 });
    const scenePoints = route.map(toScene);
    for (let i = 1; i < scenePoints.length; i += 1) {
      const leg = legMesh(scenePoints[i - 1], scenePoints[i], radius, material);
      leg.userData = stream.item ? { kind: 'stream', index: stream.index, item: stream.item } : {};
      group.add(leg);
      if (stream.item) this.pickables.push(leg);
      if (i > 1) group.add(jointMesh(scenePoints[i - 1], radius, material));
    }
    if (stream.kind !== 'connecting') {
      // Stubs end in a small cone pointing the way the material goes.
      const tipAt = stream.kind === 'input' || stream.kind === 'utility' ? scenePoints[0] : scenePoints.at(-1);
      const dir = new THREE.Vector3().subVectors(scenePoints.at(-1), scenePoints[0]).normalize();
      const cone = new THREE.Mesh(new THREE.ConeGeometry(radius * 2.2, radius * 4, 12), material);
      cone.position.copy(tipAt);
      if (dir.lengthSq() > 0) cone.quaternion.setFromUnitVectors(UP, dir);
      group.add(cone);
    }
    const slug = new THREE.Group();
    group.add(slug);
    this.root.add(group);
    this.streamObjects[stream.index] = { group, material, slug, route, radius, stream, lastSlug: '' };
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
      o.group.visible = v.pipes !== false && endsVisible && !(s.crossFloor && v.crossFloorPipes === false);
    }
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
      const level = Math.min(1, Math.max(0, Number(vs.volume) || 0));
      o.level = level;
      o.fill.visible = level > 0;
      o.fill.scale.y = Math.max(1e-4, level * o.h);
      o.fillMaterial.color.copy(colour(vs.contents, '#ff0000'));
      o.shellMaterial.color.copy(colour(vs.colour));
      o.rimMaterial.color.copy(colour(vs.colour));
      o.shellMaterial.opacity = vs.active ? 0.5 : 0.34;
      o.label.element.classList.toggle('active', !!vs.active);
    }
    for (const ss of state.streams || []) {
      const o = this.streamObjects[ss.index];
      if (!o) continue;
      o.material.color.copy(colour(ss.colour));
      const key = ss.flowing ? `${ss.segmentStart}:${ss.segmentEnd}:${ss.contents}` : '';
      if (key === o.lastSlug) continue;
      o.lastSlug = key;
      disposeTree(o.slug);
      o.slug.clear();
      if (!ss.flowing) continue;
      const part = subRoute(o.route, ss.segmentStart, ss.segmentEnd).map(toScene);
      const material = new THREE.MeshPhongMaterial({ color: colour(ss.contents, '#ff0000'), emissive: 0x202020 });
      for (let i = 1; i < part.length; i += 1) {
        o.slug.add(legMesh(part[i - 1], part[i], o.radius * 1.45, material));
        if (i > 1) o.slug.add(jointMesh(part[i - 1], o.radius * 1.45, material));
      }
      if (part.length < 2) material.dispose();
    }
    this.render();
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
      this.streamObjects[index]?.material.color.copy(colour(hex));
    }
    for (const [index, hex] of Object.entries(colours?.vessels || {})) {
      const o = this.vesselObjects[index];
      if (o) {
        o.shellMaterial.color.copy(colour(hex));
        o.rimMaterial.color.copy(colour(hex));
      }
    }
    for (const [index, hex] of Object.entries(colours?.floors || {})) {
      this.floorObjects[index]?.material.color.copy(colour(hex));
    }
    this.render();
  }

  bounds() {
    const box = new THREE.Box3();
    for (const o of this.floorObjects || []) if (o) box.expandByObject(o.slab);
    for (const o of this.vesselObjects || []) if (o) box.expandByObject(o.shell);
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
    const hits = this.raycaster.intersectObjects(this.pickables, false).filter((h) => visible(h.object));
    for (const kind of ['vessel', 'stream', 'floor']) {
      const hit = hits.find((h) => h.object.userData.kind === kind);
      if (hit) return hit.object.userData;
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
    return o ? (o.fill.visible ? o.fill.scale.y / o.h : 0) : null;
  }
}
