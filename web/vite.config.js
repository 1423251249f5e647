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
    // `npm run dev` talks to a running `batchplant serve` (BATCHPLANT_API),
    // which takes only its own Host and refuses POSTs from a foreign Origin:
    // the proxy poses as the page the server itself would have served.
    proxy: {
      '/api': {
        target: process.env.BATCHPLANT_API || 'http://127.0.0.1:8080',
        changeOrigin: true,
        configure: (proxy) => proxy.on('proxyReq', (req) => req.removeHeader('origin')),
      },
    },
  },
});
