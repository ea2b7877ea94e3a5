// The style sheets of the web content must parse (an unclosed block or a
// stray brace fails, as a syntax error) and hold no rule a merge has mangled.
// Style preferences are not checked.
module.exports = {
  rules: {
    'block-no-empty': true,
    'declaration-block-no-duplicate-properties': [true, { ignore: ['consecutive-duplicates-with-different-values'] }],
    'no-invalid-double-slash-comments': true,
    'no-invalid-position-at-import-rule': true,
    'property-no-unknown': true,
    'selector-pseudo-class-no-unknown': true,
    'unit-no-unknown': true,
    'at-rule-no-unknown': true,
    'color-no-invalid-hex': true,
    'function-calc-no-unspaced-operator': true,
    'string-no-newline': true,
  },
};
