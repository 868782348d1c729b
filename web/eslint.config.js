// The page's lint rules: eslint's recommended set, with the globals each
// part of web/ runs among.
import js from '@eslint/js';
import globals from 'globals';

export default [
  { ignores: ['node_modules/'] },
  js.configs.recommended,
  {
    files: ['src/**/*.js'],
    languageOptions: { globals: globals.browser },
  },
  {
    // The worker's code runs in a worker, inside the emscripten module.
    files: ['src/worker/**/*.js'],
    languageOptions: { globals: globals.worker },
  },
  {
    // Placed before the module's code as a plain script (--pre-js).
    files: ['src/worker/module_pre.js'],
    languageOptions: { sourceType: 'script', globals: { ...globals.worker, Module: 'writable' } },
  },
  {
    files: ['tests/**/*.js', 'eslint.config.js'],
    languageOptions: { globals: globals.node },
  },
  {
    // Functions the tests pass to page.evaluate() run in the page.
    files: ['tests/*.test.js', 'tests/browser.js'],
    languageOptions: { globals: { ...globals.node, ...globals.browser } },
  },
];
