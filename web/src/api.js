// Thin client of the JSON API of `batchplant serve`. Every answer the page
// shows comes from here; a failed request throws an ApiError carrying the
// server's own error text.

export class ApiError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

async function request(path, options) {
  let response;
  try {
    response = await fetch(path, options);
  } catch (err) {
    throw new ApiError(0, `The viewer's server cannot be reached (${err.message}).`);
  }
  let body = null;
  const text = await response.text();
  if (text) {
    try {
      body = JSON.parse(text);
    } catch {
      throw new ApiError(response.status, `${path}: the server's answer is not JSON.`);
    }
  }
  if (!response.ok) {
    const message = body && typeof body.error === 'string' ? body.error : `HTTP ${response.status}`;
    throw new ApiError(response.status, `${path}: ${message}`);
  }
  return body;
}

function query(params) {
  const parts = [];
  for (const [key, value] of Object.entries(params)) {
    if (value === undefined || value === null || value === '') continue;
    parts.push(`${encodeURIComponent(key)}=${encodeURIComponent(value)}`);
  }
  return parts.length ? `?${parts.join('&')}` : '';
}

const get = (path, params = {}) => request(`${path}${query(params)}`, { method: 'GET' });
const post = (path, body) =>
  request(path, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });

export const api = {
  model: () => get('api/model'),
  state: (t) => get('api/state', { t: Math.round(t) }),
  animate: (direction, steps) => post('api/animate', { direction, steps }),
  select: (item) => post('api/select', { item }),
  info: (item) => get('api/info', { item }),
  visibility: (changes) => post('api/visibility', changes),
  layout: (mode, floor, iterations) => post('api/layout', { mode, floor, iterations }),
  gantt: (window = {}) => get('api/gantt', window),
  utilisation: (window) => get('api/utilisation', window),
  compositeTypes: () => get('api/composite/types'),
  compositeGroups: (type) => get('api/composite/groups', { type }),
  compositeComponents: (type, group) => get('api/composite/components', { type, group }),
  compositeProfile: (params) => get('api/composite/profile', params),
};
