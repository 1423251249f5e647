import { defineConfig } from 'vite';

// The built page is embedded into the `batchplant` command, so it must work
// from any mount point and without a network: relative asset paths, no
// external resources, one bundle.
export default defineConfig({
  base: './',
  build: {
    outDir: 'dist',
    assetsInlineLimit: 0,
    sourcemap: false,
    // three.js alone is above the default warning size.
    chunkSizeWarningLimit: 1200,
  },
  server: {
    // `npm run dev` talks to a running `batchplant serve` (BATCHPLANT_API).
    proxy: { '/api': process.env.BATCHPLANT_API || 'http://127.0.0.1:8080' },
  },
});
