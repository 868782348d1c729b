// Small builders of page elements, shared by the modules that draw.

// A `tag` element with an optional class and text.
export function element(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

export function option(value, text) {
  const e = document.createElement('option');
  e.value = value;
  e.textContent = text;
  return e;
}

export function button(className, text) {
  const b = element('button', className, text);
  b.type = 'button';
  return b;
}
